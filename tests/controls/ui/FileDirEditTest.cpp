// The path fields: folder and file browse, keys and typing limits, the button and the caption.
#include "controls/ui/FileDirEdit.h"
#include "controls/ui/FolderPicker.h"
#include "controls/ui/Glyphs.h"
#include "platform/core/TestFakeFs.h"
#include "platform/ui/TestWin32Dialogs.h"
#include "platform/ui/TestWindowSupport.h"

#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/ui/Application.h"
#include "platform/ui/OpenFileDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace pardova {
namespace {

using platform::kAttrDirectory;
using testing::ScopedFakeFs;

// ---- answering the dialogs ---------------------------------------------------------------------------

// What the folder picker was told during one browse, and how it answers.
struct PickerScript {
    bool Confirm = false;
    QString Answer;
    bool ThrowOnSelect = false;

    int Created = 0;
    int Destroyed = 0;
    int Executed = 0;
    std::optional<bool> CreateVisible;
    std::optional<QString> DialogText;
    std::optional<QString> Root;
    std::vector<QString> Selected;
};

class ScriptedPicker final : public IFolderPicker {
public:
    explicit ScriptedPicker(PickerScript& script) : FScript(script) { ++FScript.Created; }
    ~ScriptedPicker() override { ++FScript.Destroyed; }
    void SetDialogText(const QString& text) override { FScript.DialogText = text; }
    void SetRoot(const QString& root) override { FScript.Root = root; }
    void SetCreateVisible(bool visible) override { FScript.CreateVisible = visible; }
    void SetSelectedPath(const QString& path) override {
        if (FScript.ThrowOnSelect) {
            throw platform::Exception("Error Setting Path");
        }
        FScript.Selected.push_back(path);
    }
    bool Execute() override {
        ++FScript.Executed;
        return FScript.Confirm;
    }
    QString SelectedPath() const override { return FScript.Answer; }

private:
    PickerScript& FScript;
};

// What the open-file dialog showed, and how it answers.
struct DialogScript {
    bool Confirm = false;
    QString Answer;

    int Executed = 0;
    QString InitialDir;
    QString FileName;
    QString Filter;
    int FilterIndex = 0;
    QString Title;
    TsOpenDialog::TOpenOptions Options;
};

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        FPicker.emplace(TheFolderPickerFactory, [this](QWidget*) { return std::make_unique<ScriptedPicker>(Picker); });
        FRunner.emplace(TheOpenDialogRunner, [this](TsOpenDialog& dialog, QWidget*) {
            ++Dialog.Executed;
            Dialog.InitialDir = dialog.InitialDir();
            Dialog.FileName = dialog.FileName();
            Dialog.Filter = dialog.Filter();
            Dialog.FilterIndex = dialog.FilterIndex();
            Dialog.Title = dialog.Title();
            Dialog.Options = dialog.Options();
            if (Dialog.Confirm) {
                dialog.SetFileName(Dialog.Answer);
            }
            return Dialog.Confirm;
        });
        FHandler.emplace(TheControlExceptionHandler,
                         [this](const std::exception& error, QWidget*) { Errors.push_back(error.what()); });
    }

    // From here on the field shows the program's own open-file dialog.
    void UseTheProgramsDialog() { FRunner.reset(); }
    // From here on a click's error goes to the program's handler, the application's failure box.
    void UseTheProgramsErrorHandler() { FHandler.reset(); }

    static void Press(QWidget& target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                      const QString& text = QString(), bool* accepted = nullptr) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(&target, &event);
        if (accepted != nullptr) {
            *accepted = event.isAccepted();
        }
    }
    static void Type(QWidget& target, const QString& text) {
        for (const QChar c : text) {
            Press(target, c.unicode(), Qt::NoModifier, QString(c));
        }
    }

    ScopedFakeFs Fake;
    PickerScript Picker;
    DialogScript Dialog;
    std::vector<std::string> Errors;
    QWidget Window;

private:
    std::optional<platform::ScopedOverride<FolderPickerFactory>> FPicker;
    std::optional<platform::ScopedOverride<OpenDialogRunner>> FRunner;
    std::optional<platform::ScopedOverride<ControlExceptionHandler>> FHandler;
};

// ---- folder browse -----------------------------------------------------------------------------------

struct FolderCase {
    const char* Name;
    QString Text;
    QString InitialDir;
    bool Confirm;
    QString Answer;
    // Expected:
    std::vector<QString> Selected;
    std::vector<std::string> DirChanges;
    QString TextAfter;
    QString InitialDirAfter;
};

class FolderBrowse : public ControlsTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(FolderBrowse, StartsWhereTheTextOrTheLastChoiceSaysAndTakesWhatIsConfirmed) {
    const FolderCase& c = GetParam();
    Fake.Fs.Add("C:\\", kAttrDirectory);
    Fake.Fs.Add("C:\\Data", kAttrDirectory);
    Fake.Fs.Add("C:\\Data\\", kAttrDirectory);
    Fake.Fs.Add("C:\\Data\\Sub", kAttrDirectory);
    Fake.Fs.Add("C:\\file.txt", 0x20);
    TsDirectoryEdit field(&Window);
    field.SetText(c.Text);
    field.SetInitialDir(c.InitialDir);
    Picker.Confirm = c.Confirm;
    Picker.Answer = c.Answer;

    field.BrowseClick();

    EXPECT_EQ(Picker.Created, 1);
    EXPECT_EQ(Picker.Executed, 1);
    EXPECT_EQ(Picker.Destroyed, 1);
    EXPECT_EQ(Picker.CreateVisible, std::optional<bool>(true));
    EXPECT_EQ(Picker.Root, std::optional<QString>(QStringLiteral("rfDesktop")));
    EXPECT_EQ(Picker.DialogText, std::optional<QString>(QString()));
    EXPECT_EQ(Picker.Selected, c.Selected);
    EXPECT_EQ(Fake.Fs.DirChanges, c.DirChanges);
    EXPECT_EQ(field.Text(), c.TextAfter);
    EXPECT_EQ(field.InitialDir(), c.InitialDirAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FolderBrowse,
    ::testing::Values(
        FolderCase{"EmptyOpensAtTheRoot", "", "", false, "", {}, {}, "", ""},
        FolderCase{"EmptyOpensOnTheLastChoice", "", "C:\\Data", false, "", {"C:\\Data"}, {"C:\\Data"}, "", "C:\\Data"},
        FolderCase{"MissingFolderOpensAtTheRootAndCancelKeepsTheText",
                   "C:\\Nope",
                   "C:\\Data",
                   false,
                   "",
                   {},
                   {},
                   "C:\\Nope",
                   "C:\\Data"},
        FolderCase{"AFileIsNoStartFolder", "C:\\file.txt", "", false, "", {}, {}, "C:\\file.txt", ""},
        FolderCase{
            "AWordThatNamesNothing", "nothing", "", true, "C:\\Data\\Sub", {}, {}, "C:\\Data\\Sub", "C:\\Data\\Sub"},
        FolderCase{"TrailingBackslashOpensOnTheFolderAndOkDropsIt",
                   "C:\\Data\\",
                   "",
                   true,
                   "C:\\Data",
                   {"C:\\Data\\"},
                   {"C:\\Data\\"},
                   "C:\\Data",
                   "C:\\Data"},
        FolderCase{
            "ADriveRootKeepsItsBackslash", "C:\\Data", "", true, "C:\\", {"C:\\Data"}, {"C:\\Data"}, "C:\\", "C:\\"},
        FolderCase{"AVirtualItemIsTakenButNotRemembered",
                   "",
                   "C:\\Data",
                   true,
                   "Network",
                   {"C:\\Data"},
                   {"C:\\Data"},
                   "Network",
                   "C:\\Data"}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.Name); });

TEST_F(ControlsTest, FolderBrowseHonoursNoChangeDirAndTheCreateOption) {
    Fake.Fs.Add("C:\\Data", kAttrDirectory);
    TsDirectoryEdit field(&Window);
    field.SetText("C:\\Data");
    field.SetNoChangeDir(true);
    field.SetDialogOptions(TsDirectoryEdit::TSelectDirOpts(sdPrompt));
    field.SetDialogText("Pick one");
    field.BrowseClick();
    EXPECT_TRUE(Fake.Fs.DirChanges.empty());
    EXPECT_EQ(Picker.Selected, std::vector<QString>{"C:\\Data"});
    EXPECT_EQ(Picker.CreateVisible, std::optional<bool>(false));
    EXPECT_EQ(Picker.DialogText, std::optional<QString>("Pick one"));
}

TEST_F(ControlsTest, AFailedDirectoryChangeRaisesBeforeThePickerOpens) {
    Fake.Fs.Add("C:\\Locked", kAttrDirectory);
    Fake.Fs.DirChangeSucceeds = false;
    TsDirectoryEdit field(&Window);
    field.SetText("C:\\Locked");
    try {
        field.BrowseClick();
        FAIL() << "no error raised";
    } catch (const platform::EInOutError& error) {
        EXPECT_EQ(error.Message(), platform::SysErrorMessage(platform::kErrAccessDenied));
        EXPECT_EQ(error.ErrorCode, static_cast<int>(platform::kErrAccessDenied));
    }
    EXPECT_EQ(Picker.Created, 0);
    EXPECT_EQ(field.Text(), "C:\\Locked");
}

TEST_F(ControlsTest, APickerErrorDestroysThePickerAndLeavesTheText) {
    Fake.Fs.Add("C:\\Data", kAttrDirectory);
    Picker.ThrowOnSelect = true;
    TsDirectoryEdit field(&Window);
    field.SetText("C:\\Data");
    bool afterCalled = false;
    field.OnAfterDialog = [&](QObject*, QString&, bool&) { afterCalled = true; };
    EXPECT_THROW(field.BrowseClick(), platform::Exception);
    EXPECT_EQ(Picker.Created, 1);
    EXPECT_EQ(Picker.Destroyed, 1);
    EXPECT_EQ(Picker.Executed, 0);
    EXPECT_FALSE(afterCalled);
    EXPECT_EQ(field.Text(), "C:\\Data");
}

TEST_F(ControlsTest, TheHooksSeeAndSteerTheBrowse) {
    Fake.Fs.Add("C:\\Data", kAttrDirectory);
    TsDirectoryEdit field(&Window);
    std::vector<std::string> calls;
    field.OnButtonClick = [&](QObject* sender) {
        EXPECT_EQ(sender, &field);
        calls.push_back("click");
    };
    field.OnBeforeDialog = [&](QObject*, QString& name, bool&) {
        calls.push_back("before");
        name = "C:\\Data";
    };
    field.OnAfterDialog = [&](QObject*, QString& name, bool& action) {
        calls.push_back("after");
        EXPECT_FALSE(action);
        name = "chosen by the hook";
        action = true;
    };
    field.BrowseClick();
    EXPECT_EQ(calls, (std::vector<std::string>{"click", "before", "after"}));
    EXPECT_EQ(Picker.Selected, std::vector<QString>{"C:\\Data"});
    EXPECT_EQ(field.Text(), "chosen by the hook");

    // A hook that clears Action stops the browse before any picker.
    field.OnBeforeDialog = [](QObject*, QString&, bool& action) { action = false; };
    field.BrowseClick();
    EXPECT_EQ(Picker.Created, 1);
}

TEST_F(ControlsTest, TheButtonBrowsesAndSendsErrorsToTheFailureBox) {
    Fake.Fs.Add("C:\\Locked", kAttrDirectory);
    Fake.Fs.DirChangeSucceeds = false;
    TsDirectoryEdit field(&Window);
    field.Button()->click();
    EXPECT_EQ(Picker.Created, 1);
    EXPECT_TRUE(Errors.empty());

    field.SetText("C:\\Locked");
    field.Button()->click();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], platform::SysErrorMessage(platform::kErrAccessDenied));

    field.SetReadOnly(true);
    field.Button()->click();
    EXPECT_EQ(Picker.Created, 1);
    EXPECT_EQ(Errors.size(), 1u);
}

TEST_F(ControlsTest, WithoutAHandlerAClickErrorReachesTheApplicationsFailureBox) {
    Fake.Fs.Add("C:\\Locked", kAttrDirectory);
    Fake.Fs.DirChangeSucceeds = false;
    UseTheProgramsErrorHandler();
    QString shown;
    {
        testing::BoxAnswerer answerer;
        TsDirectoryEdit field(&Window);
        field.SetText("C:\\Locked");
        field.Button()->click();
        ASSERT_FALSE(answerer.Boxes.empty());
        shown = answerer.Boxes.back().Text;
    }
    EXPECT_TRUE(shown.startsWith(QString::fromStdString(platform::SysErrorMessage(platform::kErrAccessDenied))))
        << shown.toStdString();
    EXPECT_EQ(Picker.Created, 0);
}

// ---- file browse -------------------------------------------------------------------------------------

struct FileCase {
    const char* Name;
    QString Text;
    // Expected in the dialog:
    QString InitialDir;
    QString FileName;
};

class FileBrowse : public ControlsTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(FileBrowse, TheDialogStartsInTheTextsFolderWithItsName) {
    const FileCase& c = GetParam();
    Fake.Fs.Add("C:\\Tools\\", kAttrDirectory);
    Fake.Fs.Add("C:", kAttrDirectory);
    TsFilenameEdit field(&Window);
    field.SetPathRules(platform::PathStyle::Windows);
    field.SetInitialDir("D:\\Before\\");
    field.SetText(c.Text);

    field.BrowseClick();

    EXPECT_EQ(Dialog.Executed, 1);
    EXPECT_EQ(Dialog.InitialDir, c.InitialDir);
    EXPECT_EQ(Dialog.FileName, c.FileName);
    EXPECT_EQ(field.Text(), c.Text) << "a cancelled dialog leaves the text";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileBrowse,
    ::testing::Values(FileCase{"FullPath", "C:\\Tools\\app.exe", "C:\\Tools\\", "C:\\Tools\\app.exe"},
                      FileCase{"FolderOnly", "C:\\Tools\\", "C:\\Tools\\", ""},
                      FileCase{"BareName", "app.exe", "D:\\Before\\", "app.exe"},
                      FileCase{"DriveRelative", "C:app.exe", "C:", "C:app.exe"},
                      FileCase{"MissingFolder", "C:\\Gone\\app.exe", "D:\\Before\\", "C:\\Gone\\app.exe"},
                      FileCase{"ForwardSlashes", "C:/Tools/app.exe", "D:\\Before\\", ""},
                      FileCase{"Wildcard", "C:\\Tools\\*.exe", "D:\\Before\\", ""},
                      FileCase{"Empty", "", "D:\\Before\\", ""}),
    [](const ::testing::TestParamInfo<FileCase>& info) { return std::string(info.param.Name); });

TEST_F(ControlsTest, FileDialogAsksForNothingToExistAndShowsEveryFile) {
    TsFilenameEdit field(&Window);
    field.BrowseClick();
    EXPECT_EQ(Dialog.Filter, "All files (*.*)|*.*");
    EXPECT_EQ(Dialog.FilterIndex, 1);
    EXPECT_EQ(Dialog.Title, "");
    EXPECT_EQ(Dialog.Options, TsOpenDialog::TOpenOptions(ofHideReadOnly | ofEnableSizing));
    EXPECT_EQ(field.DialogKind(), dkOpen);
}

TEST_F(ControlsTest, AConfirmedFileIsTakenAndItsFolderIsWhereTheNextBrowseStarts) {
    TsFilenameEdit field(&Window);
    field.SetPathRules(platform::PathStyle::Windows);
    field.setFocusPolicy(Qt::StrongFocus);
    Window.show();
    Dialog.Confirm = true;
    Dialog.Answer = "E:\\Bin\\tool.exe";
    field.BrowseClick();
    EXPECT_EQ(field.Text(), "E:\\Bin\\tool.exe");
    EXPECT_EQ(field.InitialDir(), "E:\\Bin\\");

    // The next browse from a bare name starts there; a cancel keeps the text and focuses the field.
    Window.setFocus();
    field.SetText("other.exe");
    Dialog.Confirm = false;
    field.BrowseClick();
    EXPECT_EQ(Dialog.InitialDir, "E:\\Bin\\");
    EXPECT_EQ(Dialog.FileName, "other.exe");
    EXPECT_EQ(field.Text(), "other.exe");
    EXPECT_EQ(Window.focusWidget(), &field);
}

TEST_F(ControlsTest, FileNameRefusesInvalidNames) {
    TsFilenameEdit field(&Window);
    field.SetPathRules(platform::PathStyle::Windows);
    field.SetText("kept");
    try {
        field.SetFileName("a|b.exe");
        FAIL() << "no error raised";
    } catch (const platform::Exception& error) {
        EXPECT_EQ(error.Message(), "Invalid file name");
    }
    EXPECT_EQ(field.Text(), "kept");
    field.SetFileName("C:\\Tools\\app.exe");
    EXPECT_EQ(field.Text(), "C:\\Tools\\app.exe");
    field.SetFileName("");
    EXPECT_EQ(field.Text(), "");
}

#ifdef _WIN32
// The system's open-file dialog, read back from its controls and answered as a user would.
TEST_F(ControlsTest, TheSystemFileDialogStartsOnTheFileWithTheOneFilterAndGivesTheChosenPath) {
    ASSERT_TRUE(platform::HasSystemOpenFileDialog());
    const QString folder =
        QDir::tempPath() + "/pardova-filedialog-" + QString::number(QCoreApplication::applicationPid());
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile tool(folder + "/tool.exe");
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.close();
    UseTheProgramsDialog();
    TsFilenameEdit field(&Window);
    const QString path = QDir::toNativeSeparators(folder + "/tool.exe");
    field.SetText(path);

    QString shownFolder, shownName, caption;
    QStringList filters;
    {
        testing::FileDialogAnswerer answerer([&](testing::ShownFileDialog& dialog) {
            shownFolder = dialog.Folder();
            shownName = dialog.FileNameText();
            filters = dialog.Filters();
            caption = dialog.Caption();
            dialog.Accept();
        });
        field.BrowseClick();
    }
    QDir(folder).removeRecursively();

    EXPECT_EQ(QDir(shownFolder).absolutePath().toLower(), QDir(folder).absolutePath().toLower());
    EXPECT_EQ(shownName, QStringLiteral("tool.exe"));
    EXPECT_EQ(filters, QStringList{"All files (*.*)"});
    // No title of its own: the platform's.
    EXPECT_FALSE(caption.isEmpty());
    EXPECT_EQ(field.Text().toLower(), path.toLower());
}

TEST_F(ControlsTest, CancellingTheSystemFileDialogKeepsTheText) {
    UseTheProgramsDialog();
    TsFilenameEdit field(&Window);
    field.SetText("typed by hand");
    bool shown = false;
    {
        testing::FileDialogAnswerer answerer([&](testing::ShownFileDialog& dialog) {
            shown = true;
            dialog.Cancel();
        });
        field.BrowseClick();
    }
    EXPECT_TRUE(shown);
    EXPECT_EQ(field.Text(), "typed by hand");
}
#else
// The window framework's dialog (POSIX has no dialog of the platform's own), answered from a timer as a
// user would.
TEST_F(ControlsTest, TheDefaultFileDialogStartsOnTheFileAndListsFilesWithoutADot) {
    const QString folder =
        QDir::tempPath() + "/pardova-filedialog-" + QString::number(QCoreApplication::applicationPid());
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile tool(folder + "/tool");
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.close();
    UseTheProgramsDialog();
    TsFilenameEdit field(&Window);
    field.SetText(QDir::toNativeSeparators(folder + "/tool"));

    QStringList shown;
    QString directory;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QFileDialog*>(top); box != nullptr && box->isVisible()) {
                shown = box->nameFilters();
                directory = box->directory().absolutePath();
                QMetaObject::invokeMethod(box, "accept");
            }
        }
    });
    field.BrowseClick();
    QDir(folder).removeRecursively();

    // The description stays as given; the pattern the dialog matches with is the last parenthesised
    // group, "*", so that a file without a dot is listed too.
    EXPECT_EQ(shown, QStringList{"All files (*.*) (*)"});
    EXPECT_EQ(directory, QDir(folder).absolutePath());
    EXPECT_EQ(field.Text(), QDir::toNativeSeparators(folder + "/tool"));
}
#endif

// The platform's own dialog gets the field's name as it stands, whether its folder exists or not, and Open
// without a change returns that name.
struct OwnDialogCase {
    const char* Name;
    QString Text;     // "<dir>" stands for a temporary folder holding tools/app.exe
    QString Shown;    // the dialog's name field
    QString Returned; // the field's text after Open
};

class OwnFileDialog : public ControlsTest, public ::testing::WithParamInterface<OwnDialogCase> {};

TEST_P(OwnFileDialog, ShowsTheNameAsItStandsAndReturnsWhatWasConfirmed) {
#ifdef _WIN32
    GTEST_SKIP() << "on Windows the field opens the platform's standard open-file dialog, not this one; the "
                    "Windows dialog's own cases cover it";
#endif
    const QString folder =
        QDir::tempPath() + "/pardova-owndialog-" + QString::number(QCoreApplication::applicationPid());
    ASSERT_TRUE(QDir().mkpath(folder + "/tools"));
    QFile tool(folder + "/tools/app.exe");
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.close();
    const auto expand = [&](QString text) { return text.replace(QStringLiteral("<dir>"), folder); };
    UseTheProgramsDialog();
    TsFilenameEdit field(&Window);
    field.SetInitialDir(folder);
    field.SetText(expand(GetParam().Text));

    QString shown = QStringLiteral("(no dialog)");
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QFileDialog*>(top); box != nullptr && box->isVisible()) {
                if (auto* nameEdit = box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                    shown = nameEdit->text();
                }
                QMetaObject::invokeMethod(box, "accept");
            }
        }
    });
    field.BrowseClick();
    QDir(folder).removeRecursively();

    EXPECT_EQ(shown, expand(GetParam().Shown));
    EXPECT_EQ(field.Text(), expand(GetParam().Returned));
}

INSTANTIATE_TEST_SUITE_P(
    Names, OwnFileDialog,
    ::testing::Values(
        OwnDialogCase{"MissingFolder", "/nonexistent/dir/x.exe", "/nonexistent/dir/x.exe", "/nonexistent/dir/x.exe"},
        OwnDialogCase{"MissingFolderInTheDialogsFolder", "<dir>/nope/x.exe", "<dir>/nope/x.exe", "<dir>/nope/x.exe"},
        OwnDialogCase{"ExistingFile", "<dir>/tools/app.exe", "<dir>/tools/app.exe", "<dir>/tools/app.exe"},
        OwnDialogCase{"NewFileInAnExistingFolder", "<dir>/tools/new.exe", "<dir>/tools/new.exe", "<dir>/tools/new.exe"},
        OwnDialogCase{"BareName", "app.exe", "app.exe", "<dir>/app.exe"}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- keys --------------------------------------------------------------------------------------------

TEST_F(ControlsTest, AltDownBrowsesLikeTheButtonUnlessReadOnlyOrWithoutButton) {
    TsDirectoryEdit folder(&Window);
    TsFilenameEdit file(&Window);
    bool accepted = false;
    Press(folder, Qt::Key_Down, Qt::AltModifier, {}, &accepted);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(Picker.Created, 1);
    Press(file, Qt::Key_Down, Qt::AltModifier | Qt::KeypadModifier, {}, &accepted);
    EXPECT_EQ(Dialog.Executed, 1);

    folder.SetReadOnly(true);
    Press(folder, Qt::Key_Down, Qt::AltModifier, {}, &accepted);
    EXPECT_TRUE(accepted) << "the key is still the button's";
    EXPECT_EQ(Picker.Created, 1);

    // Typing may be off; browsing still works.
    folder.SetReadOnly(false);
    folder.SetDirectInput(false);
    Press(folder, Qt::Key_Down, Qt::AltModifier, {}, &accepted);
    EXPECT_EQ(Picker.Created, 2);

    folder.SetShowButton(false);
    Press(folder, Qt::Key_Down, Qt::AltModifier, {}, &accepted);
    EXPECT_EQ(Picker.Created, 2);

    // Plain Down is no browse key.
    Press(file, Qt::Key_Down);
    EXPECT_EQ(Dialog.Executed, 1);
}

TEST_F(ControlsTest, CtrlASelectsEverythingAndIsConsumed) {
    TsDirectoryEdit field(&Window);
    field.SetText("C:\\Data");
    field.setCursorPosition(2);
    bool accepted = false;
    Press(field, Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"), &accepted);
    EXPECT_TRUE(accepted);
    EXPECT_EQ(field.selectedText(), "C:\\Data");
    EXPECT_EQ(field.Text(), "C:\\Data");
}

TEST_F(ControlsTest, EnterAndEscGoToTheWindowsButtons) {
    QDialog dialog;
    TsDirectoryEdit field(&dialog);
    QPushButton ok("OK", &dialog);
    ok.setDefault(true);
    int clicks = 0;
    QObject::connect(&ok, &QPushButton::clicked, [&] { ++clicks; });
    dialog.show();
    field.SetText("typed");
    Press(field, Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(field.Text(), "typed");
    Press(field, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ControlsTest, FocusSelectsTheTextOnlyWithAutoSelect) {
    TsDirectoryEdit field(&Window);
    field.SetText("C:\\Data");
    QFocusEvent focusIn(QEvent::FocusIn, Qt::OtherFocusReason);
    QApplication::sendEvent(&field, &focusIn);
    EXPECT_EQ(field.selectedText(), "C:\\Data");

    field.deselect();
    field.SetAutoSelect(false);
    QApplication::sendEvent(&field, &focusIn);
    EXPECT_EQ(field.selectedText(), "");
}

TEST_F(ControlsTest, PasteAndCutOnlyWhileTypingIsAllowed) {
    QClipboard* clipboard = QApplication::clipboard();
    TsDirectoryEdit field(&Window);
    struct Mode {
        bool DirectInput;
        bool ReadOnly;
        bool Changes;
    };
    for (const Mode mode : {Mode{true, false, true}, Mode{false, false, false}, Mode{true, true, false}}) {
        SCOPED_TRACE(::testing::Message() << "DirectInput " << mode.DirectInput << " ReadOnly " << mode.ReadOnly);
        field.SetDirectInput(mode.DirectInput);
        field.SetReadOnly(mode.ReadOnly);
        field.SetText("C:\\Data");
        field.selectAll();
        clipboard->setText("pasted");
        Press(field, Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(field.Text(), mode.Changes ? "" : "C:\\Data");
        EXPECT_EQ(clipboard->text(), mode.Changes ? "C:\\Data" : "pasted");

        clipboard->setText("D:\\Other");
        field.SetText("");
        Press(field, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(field.Text(), mode.Changes ? "D:\\Other" : "");
        Type(field, "x");
        EXPECT_EQ(field.Text(), mode.Changes ? "D:\\Otherx" : "");
    }
}

TEST_F(ControlsTest, APasteTakesTheFirstLineOnly) {
    TsDirectoryEdit field(&Window);
    QApplication::clipboard()->setText("/home/user/data\nsecond line");
    field.PasteLimited();
    EXPECT_EQ(field.Text(), "/home/user/data");
}

TEST_F(ControlsTest, MaxLengthLimitsTypingAndPastingButNotTheProgram) {
    TsFilenameEdit field(&Window);
    EXPECT_EQ(field.MaxLength(), 255);
    EXPECT_EQ(TsMaskEdit().MaxLength(), 0);

    field.SetText(QString(254, 'a'));
    field.end(false);
    Type(field, "bc");
    EXPECT_EQ(field.Text(), QString(254, 'a') + "b") << "the 256th character has no effect";

    // Replacing a selection at the limit is still allowed.
    field.setSelection(0, 1);
    Type(field, "Z");
    EXPECT_EQ(field.Text().size(), 255);
    EXPECT_TRUE(field.Text().startsWith('Z'));

    // A paste is cut to the room that is left.
    field.SetText(QString(250, 'a'));
    field.end(false);
    QApplication::clipboard()->setText("0123456789");
    Press(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field.Text(), QString(250, 'a') + "01234");

    // A text set by the program stays whole, and the user can still shorten it but not lengthen it.
    const QString longPath = "/" + QString(299, 'p');
    field.SetText(longPath);
    EXPECT_EQ(field.Text(), longPath);
    field.setProperty("Text", longPath + "q");
    EXPECT_EQ(field.Text().size(), 301);
    field.SetText(longPath);
    field.end(false);
    Type(field, "x");
    EXPECT_EQ(field.Text(), longPath);
    Press(field, Qt::Key_Backspace);
    EXPECT_EQ(field.Text(), longPath.left(299));
}

TEST_F(ControlsTest, OnlyAnEditMaskIsCheckedWhenTheFocusLeaves) {
    TsMaskEdit field(&Window);
    int validateErrors = 0;
    field.OnValidateError = [&](QObject*) { ++validateErrors; };
    field.SetEditMask("999");
    field.SetText("");
    field.home(false);
    Type(field, "1");
    ASSERT_TRUE(field.isModified());
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&field, &focusOut);
    EXPECT_EQ(validateErrors, 1);

    field.SetCheckOnExit(false);
    QApplication::sendEvent(&field, &focusOut);
    EXPECT_EQ(validateErrors, 1);
}

TEST_F(ControlsTest, LeavingAFieldNeverRefusesAPath) {
    TsDirectoryEdit field(&Window);
    QLineEdit other(&Window);
    int validateErrors = 0;
    field.OnValidateError = [&](QObject*) { ++validateErrors; };
    Window.show();
    field.setFocus();
    Type(field, "Z:\\no\\such\\folder");
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&field, &focusOut);
    QApplication::processEvents();
    EXPECT_EQ(validateErrors, 0);
    EXPECT_EQ(field.Text(), "Z:\\no\\such\\folder");
}

// ---- button and caption ------------------------------------------------------------------------------

TEST_F(ControlsTest, TheButtonSitsInsideTheEndAndTheTextStopsBeforeIt) {
    TsDirectoryEdit field(&Window);
    field.setGeometry(63, 18, 365, 21);
    Window.show();
    field.SetText(QString(80, 'W'));
    field.end(false);
    // Painting scrolls the text so that the cursor shows.
    field.grab();
    const QRect button = field.Button()->geometry();
    EXPECT_TRUE(field.Button()->isVisibleTo(&field));
    EXPECT_GE(button.width(), kGlyphSize);
    EXPECT_LE(button.right(), field.width() - 1);
    EXPECT_GT(button.left(), field.width() / 2);
    EXPECT_LE(field.inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(), button.left());

    field.setLayoutDirection(Qt::RightToLeft);
    const QRect mirrored = field.Button()->geometry();
    EXPECT_LT(mirrored.left(), field.width() / 2);
    field.home(false);
    field.grab();
    EXPECT_GT(field.inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(), mirrored.right());

    field.SetShowButton(false);
    EXPECT_FALSE(field.Button()->isVisibleTo(&field));
}

TEST_F(ControlsTest, TheButtonsShowTheirOwnGlyphsAndLightUpWhenHot) {
    TsDirectoryEdit folder(&Window);
    TsFilenameEdit file(&Window);
    const QList<QPixmap>& glyphs = BuiltInGlyphs();
    // The count a button's width is taken from before any glyph is drawn.
    ASSERT_EQ(glyphs.size(), kBuiltInGlyphCount);
    EXPECT_EQ(folder.Button()->CurrentGlyph().toImage(), glyphs[2].toImage());
    EXPECT_EQ(file.Button()->CurrentGlyph().toImage(), glyphs[0].toImage());
    EXPECT_NE(glyphs[0].toImage(), glyphs[1].toImage());
    EXPECT_NE(glyphs[2].toImage(), glyphs[3].toImage());

    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(folder.Button(), &enter);
    EXPECT_EQ(folder.Button()->CurrentGlyph().toImage(), glyphs[3].toImage());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(folder.Button(), &leave);
    EXPECT_EQ(folder.Button()->CurrentGlyph().toImage(), glyphs[2].toImage());

    // An image list named by GlyphMode takes the place of the built-in glyph.
    QPixmap own(20, 16);
    own.fill(Qt::red);
    folder.GlyphMode()->SetImages({own});
    folder.GlyphMode()->SetImageIndex(0);
    EXPECT_EQ(folder.Button()->CurrentGlyph().toImage(), own.toImage());
    EXPECT_EQ(folder.Button()->GlyphWidth(), 20);
}

struct LabelCase {
    const char* Name;
    TsBoundLabel::TsCaptionLayout Layout;
    int Indent;
};

class CaptionPlacement : public ControlsTest, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(CaptionPlacement, TheLabelSitsBesideOrAboveTheField) {
    TsDirectoryEdit field(&Window);
    field.setObjectName("DirEdit1");
    field.setGeometry(63, 18, 365, 21);
    field.BoundLabel()->SetCaption(QStringLiteral("Папка A  "));
    field.BoundLabel()->SetLayout(GetParam().Layout);
    field.BoundLabel()->SetIndent(GetParam().Indent);
    field.BoundLabel()->SetActive(true);
    Window.show();

    auto* label = Window.findChild<TsEditLabel*>("DirEdit1Label", Qt::FindDirectChildrenOnly);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label, field.BoundLabel()->Label());
    EXPECT_EQ(label->text(), QStringLiteral("Папка A  "));
    const QFontMetrics metrics(label->font());
    EXPECT_EQ(label->width(), metrics.horizontalAdvance(QStringLiteral("Папка A  ")));
    EXPECT_GT(label->width(), metrics.horizontalAdvance(QStringLiteral("Папка A")));

    auto check = [&] {
        const QRect f = field.geometry();
        const QRect l = label->geometry();
        if (GetParam().Layout == sclLeft) {
            EXPECT_EQ(l.x() + l.width(), f.x() - GetParam().Indent - 4);
            EXPECT_EQ(l.y(), f.y() + (f.height() - l.height()) / 2);
        } else {
            EXPECT_EQ(l.x(), f.x());
            EXPECT_EQ(l.y() + l.height(), f.y() - GetParam().Indent);
        }
    };
    check();
    field.setGeometry(150, 90, 200, 40);
    check();
}

INSTANTIATE_TEST_SUITE_P(Layouts, CaptionPlacement,
                         ::testing::Values(LabelCase{"Left", sclLeft, 0}, LabelCase{"LeftIndented", sclLeft, 5},
                                           LabelCase{"TopLeft", sclTopLeft, 4}),
                         [](const ::testing::TestParamInfo<LabelCase>& info) { return std::string(info.param.Name); });

TEST_F(ControlsTest, TheLabelFollowsTheFieldsNameVisibilityAndState) {
    auto* field = new TsFilenameEdit;
    field->setObjectName("ExeEdit");
    field->BoundLabel()->SetActive(true);
    EXPECT_EQ(field->BoundLabel()->Label(), nullptr) << "no parent, no label yet";
    field->setParent(&Window);
    TsEditLabel* label = field->BoundLabel()->Label();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->parentWidget(), &Window);
    EXPECT_EQ(label->objectName(), "ExeEditLabel");
    EXPECT_EQ(label->text(), "ExeEdit") << "an empty caption shows the field's name";

    Window.show();
    EXPECT_TRUE(label->isVisible());
    field->hide();
    EXPECT_FALSE(label->isVisible());
    field->show();
    EXPECT_TRUE(label->isVisible());

    field->setEnabled(false);
    EXPECT_FALSE(label->isEnabled());
    field->BoundLabel()->SetEnabledAlways(true);
    EXPECT_TRUE(label->isEnabled());
    field->setEnabled(true);
    EXPECT_TRUE(label->isEnabled());

    field->BoundLabel()->SetCaption("<b>exe</b> ");
    EXPECT_EQ(label->textFormat(), Qt::PlainText);

    const QPointer<TsEditLabel> watch(label);
    delete field;
    EXPECT_TRUE(watch.isNull()) << "the label goes with its field";

    // The usual order: field and caption made on a window that is shown later.
    QWidget form;
    TsDirectoryEdit onForm(&form);
    onForm.setObjectName("DirEdit1");
    onForm.BoundLabel()->SetActive(true);
    onForm.BoundLabel()->SetCaption(QStringLiteral("Папка A  "));
    form.show();
    ASSERT_NE(onForm.BoundLabel()->Label(), nullptr);
    EXPECT_TRUE(onForm.BoundLabel()->Label()->isVisible());

    TsDirectoryEdit inactive(&Window);
    inactive.setObjectName("DirEdit2");
    EXPECT_EQ(Window.findChild<TsEditLabel*>("DirEdit2Label"), nullptr);
}

} // namespace
} // namespace pardova
