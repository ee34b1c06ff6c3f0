#include "app/ui/fMain.h"

#include "app/core/FileRoutines.h"
#include "app/core/SyncRun.h"
#include "app/ui/ProgramIcon.h"
#include "log/core/SimpleLog.h"
#include "platform/core/Locale.h"
#include "platform/ui/Application.h"

#include <QApplication>
#include <QFont>
#include <QPalette>

namespace pardova {

TMainForm* MainForm = nullptr;

namespace {

void MakeWhite(QWidget* control) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    control->setPalette(palette);
}

template <class T> T* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new T(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

} // namespace

QWidget* TMainForm::Register(TMainForm* self, QWidget* parent) {
    MainForm = self;
    return parent;
}

TMainForm::TMainForm(QWidget* parent) : platform::TForm(Register(this, parent)) {
    setObjectName(QStringLiteral("MainForm"));
    SetCaption(QStringLiteral("Pardova, 1.0"));
    SetDialogBorder(436, 294);
    setFont(platform::TahomaFont());

    // The settings store, built with the window: it hooks the window's show, close and destroy events
    // once the window is built, and restores these values before FormShow runs.
    PropStorage1 = new TPropStorageEh(this);
    PropStorage1->setObjectName(QStringLiteral("PropStorage1"));
    for (const char* path : {"<P>.Left", "<P>.Top", "CheckBox1.<P>.Checked", "DirEdit1.<P>.Text", "DirEdit2.<P>.Text",
                             "ExeEdit.<P>.Text"}) {
        PropStorage1->StoredProps().Add(path);
    }

    StatusBar1 = Place<platform::TsStatusBar>(this, "StatusBar1", 0, 275, 436, 19);
    StatusBar1->SetPanelWidths({200, 48, 50});

    DirEdit1 = Place<TsDirectoryEdit>(this, "DirEdit1", 63, 18, 365, 21);
    DirEdit2 = Place<TsDirectoryEdit>(this, "DirEdit2", 63, 62, 365, 21);
    ExeEdit = Place<TsFilenameEdit>(this, "ExeEdit", 63, 106, 365, 21);
    const std::pair<TsFileDirEdit*, QString> fields[] = {
        {DirEdit1, QStringLiteral("Папка A  ")},
        {DirEdit2, QStringLiteral("Папка B  ")},
        {ExeEdit, QStringLiteral("exe файл ")},
    };
    for (const auto& [field, caption] : fields) {
        field->SetMaxLength(255);
        field->SetCheckOnExit(true);
        field->BoundLabel()->SetCaption(caption);
        field->BoundLabel()->SetLayout(sclLeft);
        field->BoundLabel()->SetActive(true);
        MakeWhite(field);
        SetAnchors(field, akLeft | akTop | akRight);
    }
    DirEdit1->SetRoot(QStringLiteral("rfDesktop"));
    DirEdit2->SetRoot(QStringLiteral("rfDesktop"));

    sButton1 = Place<platform::TsButton>(this, "sButton1", 312, 141, 112, 37);
    sButton1->SetCaption(QStringLiteral("Старт"));
    sButton1->OnClick = [this](QObject* Sender) { sButton1Click(Sender); };
    SetAnchors(sButton1, akLeft | akTop);

    sMemo1 = Place<platform::TsMemo>(this, "sMemo1", 0, 183, 436, 92);
    // The letter А in "папке А" and "из А в B" is Cyrillic, every B Latin; the dash is an en dash.
    sMemo1->SetLines({
        QString(),
        QStringLiteral("Программа  проверяет, отличаются ли файлы "),
        QStringLiteral("в папке B от файлов в папке \u0410 (по размеру и дате). "),
        QStringLiteral("Если отличаются \u2013 копирует и заменяет файлы из \u0410 в B. "),
        QStringLiteral("После успешного завершения копирования запускает exe-файл"),
        QStringLiteral("При запуске с ключом /s выполняет работу без показа окна."),
    });
    sMemo1->SetCentered(true);
    MakeWhite(sMemo1);

    CheckBox1 = Place<platform::TsCheckBox>(this, "CheckBox1", 47, 142, 132, 17);
    CheckBox1->SetCaption(QStringLiteral("Запустить exe-файл"));
    SetAnchors(CheckBox1, akLeft | akTop);

    // The status bar is the lowest of the bottom-aligned controls, the memo above it.
    AlignBottom(StatusBar1);
    AlignBottom(sMemo1);

    setTabOrder(DirEdit1, DirEdit2);
    setTabOrder(DirEdit2, ExeEdit);
    setTabOrder(ExeEdit, sButton1);
    setTabOrder(sButton1, sMemo1);
    setTabOrder(sMemo1, CheckBox1);

    OnCreate = [this](QObject* Sender) { FormCreate(Sender); };
    OnShow = [this](QObject* Sender) { FormShow(Sender); };
    OnDestroy = [this](QObject* Sender) { FormDestroy(Sender); };
}

TMainForm::~TMainForm() {
    // FormDestroy uses this form's members: it runs before any of them goes.
    BeforeDestruction();
    if (MainForm == this) {
        MainForm = nullptr;
    }
}

void TMainForm::FormCreate(QObject*) {
    SimpleLog().RegisterLog("log", GetAppDir() + "log.txt", 2000, 5, TLogProperties{lpTimestamp, lpType}, " | ");
    SimpleLog().SetLockType(ltProcess);
    std::string line = "start " + Caption().toStdString();
    for (int i = 0; i < 21; ++i) {
        line += " -";
    }
    AddToLog(line);
}

void TMainForm::FormDestroy(QObject*) { AddToLog("finish"); }

bool TMainForm::IsSilentSwitch(const std::string& firstArgument) { return platform::LowerCase(firstArgument) == "/s"; }

void TMainForm::FormShow(QObject*) {
    if (IsSilentSwitch(platform::Application->ParamStr(1))) {
        try {
            sButton1->Click();
        } catch (...) {
            // The failure's box and then the window are shown: they carry the program's icon, which a
            // silent run that succeeds never loads.
            QApplication::setWindowIcon(ProgramIcon());
            throw;
        }
        platform::Application->Halt(LastSyncFailures() > 0 ? 2 : 0);
    }
}

void TMainForm::sButton1Click(QObject*) {
    const std::string ProgramPath = ExeEdit->Text().toStdString();
    const std::string B = DirEdit2->Text().toStdString();
    const std::string A = DirEdit1->Text().toStdString();
    DoSync(A, B, ProgramPath);
}

void TMainForm::DoSync(const std::string& A, const std::string& B, const std::string& ProgramPath) {
    // The pass's lines follow one another closely: the log keeps its file open until the pass returns or
    // raises, so that the message box of a failure, and the window after a pass, find it closed.
    const TLogHold hold(SimpleLog());
    ::pardova::DoSync(A, B, ProgramPath, [this] { return CheckBox1->Checked(); });
}

} // namespace pardova
