#include "controls/ui/PathDialog.h"

#include "controls/core/PathTests.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"
#include "platform/core/StringTable.h"
#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <climits>

namespace pardova {

TPathDialogForm* PathDialogForm = nullptr;

namespace {

constexpr int kClientWidth = 370;
constexpr int kClientHeight = 415;

QString PlatformText(const char* module, unsigned id, const QString& suffix, const char* builtIn) {
    const std::string text = platform::LoadModuleString(module, id);
    return text.empty() ? QString::fromLatin1(builtIn) : QString::fromStdString(text) + suffix;
}

void ShowModalErrorBox(const QString& text) {
    QWidget* active = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), text, QMessageBox::Ok, active);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (active) {
        active->activateWindow();
    }
}

void ShowInFailureBox(const QString& text) { platform::Application->ShowException(text.toStdString()); }

void ReportApplicationError(const QString& text) { ThePathDialogMessages.Get().ApplicationError(text); }

QPushButton* MakeButton(QWidget* parent, const char* name, const QRect& geometry) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

} // namespace

const TPathDialogTexts& LoadPlatformText() {
    static const TPathDialogTexts texts{
        PlatformText("comdlg32.dll", 439, QString(), "Select directory"),
        PlatformText("user32.dll", 800, QString(), "OK"),
        PlatformText("user32.dll", 801, QString(), "Cancel"),
        PlatformText("shell32.dll", 4151, QString(), "Create"),
        PlatformText("shell32.dll", 33015, QStringLiteral(":"), "Root:"),
    };
    return texts;
}

platform::OverridePoint<TPathDialogMessages> ThePathDialogMessages{{&ShowModalErrorBox, &ShowInFailureBox}};

void ShowErrorBox(const QString& text) { ThePathDialogMessages.Get().ErrorBox(text); }

TPathDialogForm::TPathDialogForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PathDialogForm"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    setWindowIcon(QIcon());
    setFont(platform::TahomaFont());
    resize(kClientWidth, kClientHeight);
    setMinimumSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(true);
    setWindowTitle(QStringLiteral("Select directory"));

    sShellTreeView1 = new TsShellTreeView(this);
    sShellTreeView1->setObjectName(QStringLiteral("sShellTreeView1"));
    sShellTreeView1->setGeometry(15, 20, 345, 349);
    sShellTreeView1->setFont(platform::TahomaFont());

    sBitBtn1 = MakeButton(this, "sBitBtn1", QRect(204, 376, 75, 25));
    sBitBtn1->setDefault(true);
    sBitBtn2 = MakeButton(this, "sBitBtn2", QRect(281, 376, 75, 25));
    sBitBtn3 = MakeButton(this, "sBitBtn3", QRect(19, 376, 75, 25));
    sBitBtn3->setEnabled(false);

    sScrollBox1 = new QScrollArea(this);
    sScrollBox1->setObjectName(QStringLiteral("sScrollBox1"));
    sScrollBox1->setGeometry(15, 20, 101, 349);
    sScrollBox1->hide();

    sLabel1 = new QLabel(this);
    sLabel1->setObjectName(QStringLiteral("sLabel1"));
    sLabel1->setGeometry(18, 3, 3, 13);
    sLabel1->hide();

    sShellTreeView1Label = new QLabel(this);
    sShellTreeView1Label->setObjectName(QStringLiteral("sShellTreeView1Label"));
    sShellTreeView1Label->hide();

    setTabOrder(sShellTreeView1, sBitBtn1);
    setTabOrder(sBitBtn1, sBitBtn2);
    setTabOrder(sBitBtn2, sBitBtn3);
    setTabOrder(sBitBtn3, sScrollBox1);

    connect(sShellTreeView1, &TsShellTreeView::Change, this, &TPathDialogForm::sShellTreeView1Change);
    connect(sShellTreeView1, &TsShellTreeView::ErrorRaised, this,
            [](const QString& message) { ReportApplicationError(message); });
    connect(sShellTreeView1, &TsShellTreeView::NewFolderRequested, this, [this] {
        if (!sBitBtn3->isHidden() && sBitBtn3->isEnabled()) {
            sBitBtn3Click();
        }
    });
    connect(sBitBtn1, &QPushButton::clicked, this, &TPathDialogForm::sBitBtn1Click);
    connect(sBitBtn2, &QPushButton::clicked, this, &TPathDialogForm::sBitBtn2Click);
    connect(sBitBtn3, &QPushButton::clicked, this, &TPathDialogForm::sBitBtn3Click);

    // The tree selected its top node while it loaded, before the buttons existed; the first change is
    // applied now.
    sShellTreeView1Change();
    PathDialogForm = this;
}

TPathDialogForm::~TPathDialogForm() {
    if (PathDialogForm == this) {
        PathDialogForm = nullptr;
    }
}

void TPathDialogForm::InitLngCaptions() {
    const TPathDialogTexts& texts = LoadPlatformText();
    setWindowTitle(texts.Caption);
    sBitBtn1->setText(texts.Ok);
    sBitBtn2->setText(texts.Cancel);
    sBitBtn3->setText(texts.Create);
    sLabel1->setText(texts.Root);
}

void TPathDialogForm::UpdateAnchors() {
    const QRect tree = sShellTreeView1->geometry();
    FTreeRight = width() - (tree.x() + tree.width());
    FTreeBottom = height() - (tree.y() + tree.height());
    FButtonsBottom = height() - (sBitBtn1->y() + sBitBtn1->height());
    FOkRight = width() - (sBitBtn1->x() + sBitBtn1->width());
    FCancelRight = width() - (sBitBtn2->x() + sBitBtn2->width());
    FAnchored = true;
}

void TPathDialogForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FitMinimumToFrame();
    if (!FAnchored) {
        return;
    }
    const int w = width();
    const int h = height();
    const QRect tree = sShellTreeView1->geometry();
    sShellTreeView1->setGeometry(tree.x(), tree.y(), w - FTreeRight - tree.x(), h - FTreeBottom - tree.y());
    const int buttonTop = h - FButtonsBottom - sBitBtn1->height();
    sBitBtn1->move(w - FOkRight - sBitBtn1->width(), buttonTop);
    sBitBtn2->move(w - FCancelRight - sBitBtn2->width(), buttonTop);
    sBitBtn3->move(sBitBtn3->x(), buttonTop);
    sScrollBox1->resize(sScrollBox1->width(), sShellTreeView1->height());
    PlaceTreeLabel();
}

void TPathDialogForm::PlaceTreeLabel() {
    // Above the tree, starting at its left edge, its bottom 4 pixels above the tree.
    sShellTreeView1Label->adjustSize();
    const QRect tree = sShellTreeView1->geometry();
    sShellTreeView1Label->move(tree.x(), tree.y() - 4 - sShellTreeView1Label->height());
}

void TPathDialogForm::sShellTreeView1Change() {
    const bool exists = IsExistingFolder(sShellTreeView1->SelectedPath().toStdString());
    sBitBtn1->setEnabled(exists);
    sBitBtn3->setEnabled(exists);
}

void TPathDialogForm::sBitBtn1Click() {
    if (sShellTreeView1->IsEditing()) {
        sShellTreeView1->EndEdit(true);
        sShellTreeView1->setFocus();
        return;
    }
    accept();
}

void TPathDialogForm::sBitBtn2Click() { reject(); }

void TPathDialogForm::reject() {
    // Esc or Cancel while a name is being edited leaves the picker open.
    if (sShellTreeView1->IsEditing()) {
        return;
    }
    QDialog::reject();
}

void TPathDialogForm::closeEvent(QCloseEvent* event) {
    // Closing by the frame always ends the browse, an edit in progress being dropped.
    sShellTreeView1->EndEdit(false);
    QDialog::closeEvent(event);
}

std::string TPathDialogForm::NextNewFolderName() const {
    TShellFolderItem* item = sShellTreeView1->SelectedFolder();
    if (!item) {
        return std::string();
    }
    const std::string base = platform::WithTrailingBackslash(item->PathName()) + "New folder";
    auto& fs = platform::Fs();
    for (int n = 1; n < INT_MAX; ++n) {
        std::string candidate = base + std::to_string(n);
        // Any entry of that name takes N: a file blocks the folder as surely as a folder does. When the
        // name cannot be inspected at all, counting on would never end; the creation reports it instead.
        uint32_t error = 0;
        if (!fs.GetAttributes(candidate, &error)) {
            return candidate;
        }
    }
    return std::string();
}

void TPathDialogForm::sBitBtn3Click() {
    TShellTreeNode* parentNode = sShellTreeView1->SelectedNode();
    if (!parentNode) {
        return;
    }
    const std::string path = NextNewFolderName();
    if (!path.empty()) {
        platform::Fs().MakeDirectory(path);
    }
    if (path.empty() || !IsExistingFolder(path)) {
        ShowErrorBox(QStringLiteral("Directory ") + QString::fromStdString(path) +
                     QStringLiteral(" can`t be created!"));
        return;
    }
    sShellTreeView1->Refresh(parentNode);
    TShellTreeNode* created = nullptr;
    for (int i = 0; i < parentNode->childCount() && !created; ++i) {
        if (parentNode->ChildNode(i)->Item()->PathName() == path) {
            created = parentNode->ChildNode(i);
        }
    }
    if (!created) {
        return;
    }
    sShellTreeView1->setCurrentItem(created);
    sShellTreeView1->setFocus();
    sShellTreeView1->ExpandNode(created);
    sShellTreeView1->StartEdit(created);
    sShellTreeView1->SetSelectedPath(QString::fromStdString(path));
}

void TPathDialogForm::SetDialogText(const QString& text) {
    sShellTreeView1Label->setText(text);
    sShellTreeView1Label->setVisible(!text.isEmpty());
    PlaceTreeLabel();
}

void TPathDialogForm::SetRoot(const QString& root) { sShellTreeView1->SetRoot(root); }

void TPathDialogForm::SetCreateVisible(bool visible) { sBitBtn3->setVisible(visible); }

void TPathDialogForm::SetSelectedPath(const QString& path) { sShellTreeView1->SetSelectedPath(path); }

QString TPathDialogForm::SelectedPath() const { return sShellTreeView1->SelectedPath(); }

void TPathDialogForm::FitMinimumToFrame() {
    // The least outer size is the designed client size: the inner area may shrink by what the frame
    // takes. The frame is known only once the window manager has framed the window; until then the
    // inner area is held at the designed size.
    // Asked of the platform window each time: the widget's own record of the frame is not renewed when
    // the window manager reports the frame after mapping.
    const QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    const QSize minimum(std::max(0, kClientWidth - frame.left() - frame.right()),
                        std::max(0, kClientHeight - frame.top() - frame.bottom()));
    if (minimum != minimumSize()) {
        setMinimumSize(minimum);
    }
}

void TPathDialogForm::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    FitMinimumToFrame();
}

void TPathDialogForm::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // A window is activated once it is mapped, and so framed.
    if (event->type() == QEvent::ActivationChange) {
        FitMinimumToFrame();
    }
}

void TPathDialogForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FitMinimumToFrame();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    sShellTreeView1->setFocus();
}

bool TPathDialogForm::Execute() { return exec() == QDialog::Accepted; }

std::unique_ptr<IFolderPicker> CreateDefaultFolderPicker(QWidget* parent) {
    auto picker = std::make_unique<TPathDialogForm>(parent);
    picker->InitLngCaptions();
    picker->UpdateAnchors();
    return picker;
}

} // namespace pardova
