// The main window: its layout, the start and finish lines, a pass started by the button, the failure box,
// and the silent switch.

#include "platform/ui/TestWindowSupport.h"

#include "app/core/FileRoutines.h"
#include "app/ui/fMain.h"
#include "log/core/SimpleLog.h"
#include "platform/core/Path.h"
#include "platform/core/Process.h"
#include "platform/core/Shell.h"
#include "platform/ui/Application.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QWindow>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pardova {
namespace {

using testing::BoxAnswerer;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// A relative path written with "/" in the platform's own separator, as the program composes and logs paths.
std::string WithNativeSeparators(std::string path) {
    std::replace(path.begin(), path.end(), '/', platform::PathDelimiter());
    return path;
}

const std::string kStartLine = "start Pardova, 1.0 - - - - - - - - - - - - - - - - - - - - -";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// The event texts of log.txt beside the executable, in order; every line must have the Info framing.
std::vector<std::string> LogTexts() {
    const std::string text = ReadFile(GetAppDir() + "log.txt");
    std::vector<std::string> events;
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t end = text.find("\r\n", begin);
        EXPECT_NE(end, std::string::npos) << "a line without CR LF";
        const std::string line = text.substr(begin, end - begin);
        const size_t framing = line.find(" | Info | ");
        EXPECT_NE(framing, std::string::npos) << line;
        events.push_back(framing == std::string::npos ? line : line.substr(framing + 10));
        begin = end == std::string::npos ? text.size() : end + 2;
    }
    return events;
}

void RemoveLogs() {
    QDir dir(QString::fromStdString(GetAppDir()));
    for (const QString& name : dir.entryList({QStringLiteral("log*.txt")}, QDir::Files)) {
        dir.remove(name);
    }
}

// A key pressed and released on a control, as the window system delivers it.
void PressKey(QWidget* control, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(control, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(control, &release);
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveLogs();
        // A folder beside the executable, so that a pass run in a child process of a death test works on
        // the same folders as the parent that checks them.
        Root = platform::IncludeSlash(GetAppDir() + "main-window-" +
                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        QDir(QString::fromStdString(Root)).removeRecursively();
        QDir().mkpath(QString::fromStdString(Root + WithNativeSeparators("A/sub")));
        WriteFile(Root + WithNativeSeparators("A/f.txt"), "payload");
        WriteFile(Root + WithNativeSeparators("A/sub/g.txt"), "more");
        SavedArguments = platform::Application->Arguments();
        platform::Application->SetArguments({});
    }

    void TearDown() override {
        if (MainForm != nullptr) {
            MainForm->Free();
        }
        platform::Application->SetArguments(SavedArguments);
        SimpleLog().UnRegisterLog("log");
        QDir(QString::fromStdString(Root)).removeRecursively();
    }

    void CreateWindow() {
        platform::Application->CreateForm(MainForm);
        ASSERT_NE(MainForm, nullptr);
    }

    void Fill(const std::string& A, const std::string& B, const std::string& Program, bool ticked) {
        MainForm->DirEdit1->SetText(QString::fromStdString(A));
        MainForm->DirEdit2->SetText(QString::fromStdString(B));
        MainForm->ExeEdit->SetText(QString::fromStdString(Program));
        MainForm->CheckBox1->SetChecked(ticked);
    }

    bool OnScreen() const {
        return MainForm->isVisible() && MainForm->windowHandle() != nullptr && MainForm->windowHandle()->isVisible();
    }

    std::string Root;
    std::vector<std::string> SavedArguments;
    BoxAnswerer Answerer;
};

TEST_F(MainWindow, IsBuiltAsDescribed) {
    CreateWindow();
    TMainForm* form = MainForm;
    EXPECT_STREQ(form->metaObject()->className(), "pardova::TMainForm");
    EXPECT_EQ(form->objectName(), QStringLiteral("MainForm"));
    EXPECT_EQ(form->Caption(), QStringLiteral("Pardova, 1.0"));
    EXPECT_EQ(form->minimumSize(), QSize(436, 294));
    EXPECT_EQ(form->maximumSize(), QSize(436, 294));
    EXPECT_FALSE(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form->font().pixelSize(), 11);
    EXPECT_EQ(platform::Application->MainForm(), form);
    EXPECT_TRUE(form->HandleAllocated());
    EXPECT_FALSE(form->isVisible());

    form->show();
    const struct {
        QWidget* Control;
        const char* Name;
        const char* ClassName;
        QRect Geometry;
    } controls[] = {
        {form->DirEdit1, "DirEdit1", "pardova::TsDirectoryEdit", {63, 18, 365, 21}},
        {form->DirEdit2, "DirEdit2", "pardova::TsDirectoryEdit", {63, 62, 365, 21}},
        {form->ExeEdit, "ExeEdit", "pardova::TsFilenameEdit", {63, 106, 365, 21}},
        {form->sButton1, "sButton1", "pardova::platform::TsButton", {312, 141, 112, 37}},
        {form->sMemo1, "sMemo1", "pardova::platform::TsMemo", {0, 183, 436, 92}},
        {form->CheckBox1, "CheckBox1", "pardova::platform::TsCheckBox", {47, 142, 132, 17}},
        {form->StatusBar1, "StatusBar1", "pardova::platform::TsStatusBar", {0, 275, 436, 19}},
    };
    for (const auto& c : controls) {
        ASSERT_NE(c.Control, nullptr) << c.Name;
        EXPECT_EQ(c.Control->objectName(), QString::fromLatin1(c.Name));
        EXPECT_EQ(form->findChild<QWidget*>(QString::fromLatin1(c.Name)), c.Control) << c.Name;
        EXPECT_STREQ(c.Control->metaObject()->className(), c.ClassName);
        EXPECT_EQ(c.Control->geometry(), c.Geometry) << c.Name;
    }

    // Latin A and B in the captions, and their trailing spaces.
    EXPECT_EQ(form->DirEdit1->BoundLabel()->Caption(),
              QString::fromUtf8("\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0 A  "));
    EXPECT_EQ(form->DirEdit2->BoundLabel()->Caption(),
              QString::fromUtf8("\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0 B  "));
    EXPECT_EQ(form->ExeEdit->BoundLabel()->Caption(), QString::fromUtf8("exe \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB "));
    for (TsFileDirEdit* field :
         {static_cast<TsFileDirEdit*>(form->DirEdit1), static_cast<TsFileDirEdit*>(form->DirEdit2),
          static_cast<TsFileDirEdit*>(form->ExeEdit)}) {
        EXPECT_TRUE(field->BoundLabel()->Active());
        EXPECT_EQ(field->MaxLength(), 255);
        EXPECT_TRUE(field->CheckOnExit());
        EXPECT_EQ(field->Text(), QString());
    }
    EXPECT_EQ(form->DirEdit1->Root(), QStringLiteral("rfDesktop"));
    EXPECT_EQ(form->sButton1->Caption(), QStringLiteral("Старт"));
    EXPECT_FALSE(form->sButton1->isDefault());
    EXPECT_EQ(form->CheckBox1->Caption(), QStringLiteral("Запустить exe-файл"));
    EXPECT_FALSE(form->CheckBox1->Checked());

    EXPECT_THAT(
        form->sMemo1->Lines(),
        ElementsAre(QString(), QStringLiteral("Программа  проверяет, отличаются ли файлы "),
                    QString::fromUtf8("в папке B от файлов в папке \xD0\x90 (по размеру и дате). "),
                    QString::fromUtf8("Если отличаются \xE2\x80\x93 копирует и заменяет файлы из \xD0\x90 в B. "),
                    QStringLiteral("После успешного завершения копирования запускает exe-файл"),
                    QStringLiteral("При запуске с ключом /s выполняет работу без показа окна.")));
    EXPECT_EQ(form->sMemo1->document()->firstBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(form->sMemo1->document()->lastBlock().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);

    ASSERT_EQ(form->StatusBar1->PanelCount(), 3);
    EXPECT_EQ(form->StatusBar1->Panel(0)->width(), 200);
    EXPECT_EQ(form->StatusBar1->Panel(1)->width(), 48);
    EXPECT_EQ(form->StatusBar1->Panel(2)->width(), 50);
}

TEST_F(MainWindow, TabOrderRunsThroughTheControlsInTheirOrder) {
    CreateWindow();
    TMainForm* form = MainForm;
    const std::vector<QWidget*> ordered = {form->DirEdit1, form->DirEdit2, form->ExeEdit,
                                           form->sButton1, form->sMemo1,   form->CheckBox1};
    std::vector<QWidget*> seen;
    QWidget* w = form->DirEdit1;
    do {
        if (std::find(ordered.begin(), ordered.end(), w) != ordered.end()) {
            seen.push_back(w);
        }
        w = w->nextInFocusChain();
    } while (w != form->DirEdit1 && seen.size() < 20);
    EXPECT_THAT(seen, ElementsAreArray(ordered));
}

TEST_F(MainWindow, WritesTheStartLineOnCreationAndFinishOnDestruction) {
    CreateWindow();
    EXPECT_THAT(LogTexts(), ElementsAre(kStartLine));
    MainForm->Free();
    EXPECT_EQ(MainForm, nullptr);
    EXPECT_THAT(LogTexts(), ElementsAre(kStartLine, "finish"));
    EXPECT_TRUE(Answerer.Boxes.empty());
}

TEST_F(MainWindow, TheStartButtonRunsAPassWithTheFieldsTexts) {
    CreateWindow();
    MainForm->show();
    Fill(Root + "A", Root + "B", Root + "no such program", false);
    MainForm->sButton1->click();
    EXPECT_TRUE(Answerer.Boxes.empty());
    EXPECT_EQ(ReadFile(Root + WithNativeSeparators("B/f.txt")), "payload");
    EXPECT_EQ(ReadFile(Root + WithNativeSeparators("B/sub/g.txt")), "more");
    const auto texts = LogTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], kStartLine);
    EXPECT_EQ(texts[1], "Папка не найдена, создаю " + Root + "B");
    EXPECT_NE(std::find(texts.begin(), texts.end(), "  копирую -> " + Root + WithNativeSeparators("B/f.txt")),
              texts.end());
    // Nothing of the unticked box's program.
    for (const auto& text : texts) {
        EXPECT_EQ(text.find("Запускаю"), std::string::npos) << text;
    }
    EXPECT_TRUE(OnScreen());
}

TEST_F(MainWindow, FailuresShowTheBoxAndTheWindowStaysAsItWas) {
    const struct {
        const char* Case;
        std::string A, B, Program;
        bool Ticked;
        std::string Text;
        std::vector<std::string> Logged;
    } cases[] = {
        {"A empty", "", Root + "B", "", false, "Папка не найдена\r", {}},
        {"A missing", Root + "missing", Root + "B", "", false, "Папка не найдена\r" + Root + "missing.", {}},
        {"A is a file",
         Root + WithNativeSeparators("A/f.txt"),
         Root + "B",
         "",
         false,
         "Папка не найдена\r" + Root + WithNativeSeparators("A/f.txt."),
         {}},
        {"B empty", Root + "A", "", "", false, "Unable to create directory.", {"Папка не найдена, создаю "}},
        {"program missing",
         Root + "A",
         Root + "B2",
         "",
         true,
         "Файл не найден\r",
         {"Папка не найдена, создаю " + Root + "B2"}},
        {"program a folder",
         Root + "A",
         Root + "A",
         Root + WithNativeSeparators("A/sub"),
         true,
         "Файл не найден\r" + Root + WithNativeSeparators("A/sub."),
         {}},
    };
    CreateWindow();
    MainForm->show();
    for (const auto& c : cases) {
        RemoveLogs();
        Answerer.Boxes.clear();
        Fill(c.A, c.B, c.Program, c.Ticked);
        MainForm->sButton1->click();
        ASSERT_EQ(Answerer.Boxes.size(), 1u) << c.Case;
        EXPECT_EQ(Answerer.Boxes[0].Text.toStdString(), c.Text) << c.Case;
        EXPECT_EQ(Answerer.Boxes[0].Caption, QStringLiteral("test_app_ui")) << c.Case;
        EXPECT_EQ(Answerer.Boxes[0].Icon, QMessageBox::Critical) << c.Case;
        EXPECT_EQ(LogTexts(), c.Logged) << c.Case;
        EXPECT_TRUE(OnScreen()) << c.Case;
        EXPECT_EQ(MainForm->DirEdit1->Text().toStdString(), c.A) << c.Case;
        EXPECT_EQ(MainForm->ExeEdit->Text().toStdString(), c.Program) << c.Case;
    }
    // The program check came before the mirror: nothing was copied into B2.
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Root + WithNativeSeparators("B2/f.txt"))));
}

#ifndef _WIN32
// How many of this process's descriptors lead to log.txt beside the executable.
int LogDescriptors() {
    const QString log = QFileInfo(QString::fromStdString(GetAppDir() + "log.txt")).canonicalFilePath();
    int count = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files)) {
        if (!log.isEmpty() && fd.symLinkTarget() == log) {
            ++count;
        }
    }
    return count;
}

// A pass keeps the log open only while it runs: the box of a failure that follows logged lines, and the
// window after a pass, find it closed.
TEST_F(MainWindow, TheLogIsClosedWhileAFailureBoxWaitsAndAfterAPass) {
    CreateWindow();
    MainForm->show();
    std::vector<int> openWhileShown;
    Answerer.OnShown = [&openWhileShown](const testing::ShownBox&) { openWhileShown.push_back(LogDescriptors()); };
    // The program check fails after the line of B's creation.
    Fill(Root + "A", Root + "B2", "", true);
    MainForm->sButton1->click();
    EXPECT_EQ(openWhileShown, std::vector<int>{0});
    EXPECT_EQ(LogTexts().back(), "Папка не найдена, создаю " + Root + "B2");
    Fill(Root + "A", Root + "B", "", false);
    MainForm->sButton1->click();
    EXPECT_EQ(openWhileShown.size(), 1u) << "the pass failed";
    EXPECT_GT(LogTexts().size(), 3u);
    EXPECT_EQ(LogDescriptors(), 0);
    Answerer.OnShown = nullptr;
}
#endif

TEST_F(MainWindow, TheMainWindowOwnsWhatTheShellStarts) {
    CreateWindow();
    EXPECT_NE(platform::ShellOwnerWindow.load(), nullptr);
    EXPECT_EQ(platform::ShellOwnerWindow.load(), reinterpret_cast<void*>(MainForm->winId()));
    MainForm->Free();
    EXPECT_EQ(platform::ShellOwnerWindow.load(), nullptr);
}

// Keys as a person presses them: Tab in the memo moves on to the check box, and Enter on the focused
// start button starts a pass as Space does.
TEST_F(MainWindow, TabLeavesTheMemoAndEnterPressesTheFocusedButton) {
    CreateWindow();
    MainForm->show();
    QApplication::setActiveWindow(MainForm);
    const QString description = MainForm->sMemo1->toPlainText();
    MainForm->sMemo1->setFocus();
    PressKey(MainForm->sMemo1, Qt::Key_Tab);
    EXPECT_EQ(MainForm->sMemo1->toPlainText(), description);
    EXPECT_EQ(QApplication::focusWidget(), MainForm->CheckBox1);

    int runs = 0;
    MainForm->sButton1->OnClick = [&](QObject*) { ++runs; };
    MainForm->sButton1->setFocus();
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        PressKey(MainForm->sButton1, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    }
    EXPECT_EQ(runs, 2);
    PressKey(MainForm->sButton1, Qt::Key_Space);
    EXPECT_EQ(runs, 3);
    // Enter in a field is not passed on to the button.
    MainForm->DirEdit1->setFocus();
    PressKey(MainForm->DirEdit1, Qt::Key_Return);
    EXPECT_EQ(runs, 3);
}

TEST_F(MainWindow, TheTickedBoxStartsTheProgramAfterTheMirror) {
#ifdef _WIN32
    const std::string program = Root + "program.cmd";
    WriteFile(program, "@exit 0\r\n");
#else
    const std::string program = Root + "program.sh";
    WriteFile(program, "#!/bin/sh\nexit 0\n");
#endif
    QFile::setPermissions(QString::fromStdString(program),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    CreateWindow();
    MainForm->show();
    Fill(Root + "A", Root + "B", program, true);
    MainForm->sButton1->click();
    EXPECT_TRUE(Answerer.Boxes.empty());
    const auto texts = LogTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), "Запускаю " + program);
    const auto copied = std::find(texts.begin(), texts.end(), "  копирую -> " + Root + WithNativeSeparators("B/f.txt"));
    EXPECT_NE(copied, texts.end());
    EXPECT_EQ(ReadFile(Root + WithNativeSeparators("B/f.txt")), "payload");
}

TEST_F(MainWindow, AFailedSilentRunShowsTheBoxThenTheWindowAndDoesNotExit) {
    platform::Application->SetArguments({"/S"});
    CreateWindow();
    MainForm->show();
    ASSERT_EQ(Answerer.Boxes.size(), 1u);
    EXPECT_EQ(Answerer.Boxes[0].Text, QStringLiteral("Папка не найдена\r"));
    EXPECT_TRUE(OnScreen());
    EXPECT_THAT(LogTexts(), ElementsAre(kStartLine));
    EXPECT_TRUE(MainForm->close());
    MainForm->Free();
    EXPECT_THAT(LogTexts(), ElementsAre(kStartLine, "finish"));
}

TEST_F(MainWindow, OnlyAFirstArgumentOfSlashSInAnyCaseIsSilent) {
    const std::vector<std::vector<std::string>> interactive = {
        {}, {"x", "/s"}, {"/sx"}, {"s"}, {"-s"}, {"/s "}, {""},
    };
    for (const auto& arguments : interactive) {
        platform::Application->SetArguments(arguments);
        CreateWindow();
        // Fields that would make any run fail at once: a run would show a box.
        MainForm->show();
        EXPECT_TRUE(Answerer.Boxes.empty()) << ::testing::PrintToString(arguments);
        EXPECT_TRUE(OnScreen());
        MainForm->Free();
    }
}

TEST_F(MainWindow, ASuccessfulSilentRunEndsTheProcessWithCodeZeroAfterFinish) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string A = Root + "A";
    const std::string B = Root + "B";
    EXPECT_EXIT(
        {
            platform::Application->SetArguments({"/s"});
            platform::Application->CreateForm(MainForm);
            Fill(A, B, "", false);
            MainForm->show();
            std::fputs("still running", stderr);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(B + WithNativeSeparators("/f.txt")), "payload");
    const auto texts = LogTexts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts.front(), kStartLine);
    EXPECT_EQ(texts[1], "Папка не найдена, создаю " + B);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "  копирую -> " + B + WithNativeSeparators("/sub/g.txt")),
              texts.end());
    EXPECT_EQ(texts.back(), "finish");
}

} // namespace
} // namespace pardova
