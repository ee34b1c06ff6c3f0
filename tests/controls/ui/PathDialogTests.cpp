// The folder picker on small temporary folder trees, driven as a user would: modal loops are answered by
// the test, message boxes by hooks that record what they would have shown.

#include "controls/ui/FileDirEdit.h"
#include "controls/ui/FolderPicker.h"
#include "controls/ui/PathDialog.h"
#include "controls/ui/ShellTreeView.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"
#include "platform/core/Shell.h"
#include "platform/core/TestForwardingFs.h"
#include "platform/ui/Application.h"
#include "platform/ui/TestWindowSupport.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTimer>

#include <gmock/gmock.h>

#include <filesystem>
#include <optional>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace pardova {
namespace {

using ::testing::ElementsAre;

// The native file system with folder creation refused, as in a read-only or protected folder. Root may
// run the tests, and permissions do not stop root.
class RefusingMakeDirectoryFs : public pardova::testing::ForwardingFs {
public:
    bool MakeDirectory(const std::string& p) override {
        attempts.push_back(p);
        return false;
    }
    std::vector<std::string> attempts;
};

// Acts on a modal dialog once its loop runs. A dialog that the action leaves open is a failure, and is
// closed so that no test ever waits on it.
template <class F> void Drive(QDialog* dialog, F act) {
    QTimer::singleShot(0, dialog, [dialog, act] {
        act();
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog was left open";
            dialog->done(QDialog::Rejected);
        }
    });
}

// The same for whatever modal window is showing when the loop runs.
template <class F> void DriveModal(F act) {
    QTimer::singleShot(0, [act] {
        act();
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "a modal window was left open";
            dialog->done(QDialog::Rejected);
        }
    });
}

class PathDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        root = QDir(temp.path()).canonicalPath();
        FMessages.emplace(ThePathDialogMessages,
                          TPathDialogMessages{[this](const QString& text) { errorBoxes << text; },
                                              [this](const QString& text) { applicationErrors << text; }});
        savedDir = QDir::currentPath();
    }
    void TearDown() override {
        FMessages.reset();
        QDir::setCurrent(savedDir);
    }

    // A path below the test's folder in the platform's own separators, as the picker gives paths back.
    QString BelowRoot(const QString& relative) const {
        return QDir::toNativeSeparators(relative.isEmpty() ? root : root + "/" + relative);
    }
    void MakeDirs(std::initializer_list<const char*> relatives) const {
        for (const char* r : relatives) {
            ASSERT_TRUE(QDir().mkpath(BelowRoot(r))) << r;
        }
    }
    void MakeFile(const QString& relative) const {
        QFile f(BelowRoot(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    static QStringList ChildTexts(QTreeWidgetItem* node) {
        QStringList texts;
        for (int i = 0; i < node->childCount(); ++i) {
            texts << node->child(i)->text(0);
        }
        return texts;
    }
    // A picker as the folder field gets it, opened on the given start folder.
    std::unique_ptr<TPathDialogForm> Open(const QString& start = QString()) {
        auto picker = std::make_unique<TPathDialogForm>();
        picker->InitLngCaptions();
        picker->UpdateAnchors();
        if (!start.isEmpty()) {
            picker->SetSelectedPath(start);
        }
        return picker;
    }
    static QLineEdit* Editor(TPathDialogForm& picker) {
        return picker.sShellTreeView1->viewport()->findChild<QLineEdit*>();
    }
    static void Key(QWidget* target, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
        QApplication::processEvents();
    }

    QTemporaryDir temp;
    QString root;
    QString savedDir;
    QStringList errorBoxes;
    QStringList applicationErrors;

    // From here on the picker's messages go to the program's own boxes.
    void UseTheProgramsMessages() { FMessages.reset(); }

private:
    std::optional<platform::ScopedOverride<TPathDialogMessages>> FMessages;
};

TEST_F(PathDialogTest, OpensAtTheTopWithTheTopSelectedAndExpanded) {
    auto picker = Open();
    TShellTreeNode* top = picker->sShellTreeView1->TopNode();
    ASSERT_NE(top, nullptr);
    EXPECT_TRUE(top->isExpanded());
    EXPECT_GT(top->childCount(), 0);
#ifdef _WIN32
    // The shell's desktop, standing for the folder that holds its items; the computer is among its
    // children.
    const platform::ShellDesktop desktop = platform::GetShellDesktop();
    ASSERT_FALSE(desktop.DesktopPath.empty());
    EXPECT_EQ(top->text(0).toStdString(), desktop.DesktopName);
    EXPECT_EQ(picker->SelectedPath().toStdString(), desktop.DesktopPath);
    EXPECT_THAT(ChildTexts(top), ::testing::Contains(QString::fromStdString(desktop.ComputerName)));
    EXPECT_EQ(picker->sBitBtn1->isEnabled(), QFileInfo(QString::fromStdString(desktop.DesktopPath)).isDir());
#else
    EXPECT_EQ(top->text(0), "/");
    EXPECT_EQ(picker->SelectedPath(), "/");
    EXPECT_TRUE(picker->sBitBtn1->isEnabled());
#endif
    EXPECT_EQ(picker->sBitBtn3->isEnabled(), picker->sBitBtn1->isEnabled());
    EXPECT_EQ(PathDialogForm, picker.get());
    picker.reset();
    EXPECT_EQ(PathDialogForm, nullptr);
}

TEST_F(PathDialogTest, StartFolderIsSelectedWithAncestorsExpandedButNotItself) {
    MakeDirs({"a/b/c/d"});
    for (const QString& start : {BelowRoot("a/b/c"), BelowRoot("a/b/c/"), BelowRoot("a/./b/../b/c")}) {
        SCOPED_TRACE(start.toStdString());
        auto picker = Open(start);
        TShellTreeNode* node = picker->sShellTreeView1->SelectedNode();
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(picker->SelectedPath(), BelowRoot("a/b/c"));
        EXPECT_EQ(node->text(0), "c");
        EXPECT_FALSE(node->isExpanded());
        EXPECT_FALSE(node->ChildrenRead());
        for (TShellTreeNode* up = node->ParentNode(); up; up = up->ParentNode()) {
            EXPECT_TRUE(up->isExpanded()) << up->Item()->PathName();
        }
        EXPECT_TRUE(picker->sBitBtn1->isEnabled());
        EXPECT_TRUE(picker->sBitBtn3->isEnabled());
    }
}

TEST_F(PathDialogTest, RelativeStartFolderResolvesAgainstTheCurrentFolder) {
    MakeDirs({"a/b"});
    ASSERT_TRUE(QDir::setCurrent(BelowRoot("a")));
    auto picker = Open("b");
    EXPECT_EQ(picker->SelectedPath(), BelowRoot("a/b"));
}

TEST_F(PathDialogTest, StartFolderTheTreeDoesNotHoldSelectsTheNearestAncestor) {
    MakeDirs({"a"});
    MakeFile("a/file.txt");
    for (const char* start : {"a/missing/deeper", "a/file.txt"}) {
        SCOPED_TRACE(start);
        auto picker = Open(BelowRoot(start));
        EXPECT_EQ(picker->SelectedPath(), BelowRoot("a"));
        EXPECT_TRUE(picker->sShellTreeView1->SelectedNode()->isExpanded());
    }
}

TEST_F(PathDialogTest, UnparsableStartFolderAndUnknownRootRaise) {
    auto picker = Open();
    try {
        picker->SetSelectedPath(QString());
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Error Setting Path");
    }
    const QString missing = BelowRoot("no such root");
    try {
        picker->SetRoot(missing);
        FAIL() << "no exception";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Error Setting Path: " + missing.toStdString());
    }
    EXPECT_EQ(picker->sShellTreeView1->Root(), "rfDesktop");
}

TEST_F(PathDialogTest, AFolderAsRootBecomesTheTopNode) {
    MakeDirs({"r/a/b", "other"});
    auto picker = Open();
    picker->SetRoot(BelowRoot("r"));
    TsShellTreeView* tree = picker->sShellTreeView1;
    EXPECT_EQ(tree->Root(), BelowRoot("r"));
    EXPECT_EQ(tree->TopNode()->text(0), "r");
    EXPECT_EQ(tree->SelectedPath(), BelowRoot("r"));
    EXPECT_THAT(ChildTexts(tree->TopNode()), ElementsAre("a"));
    picker->SetSelectedPath(BelowRoot("r/a/b"));
    EXPECT_EQ(picker->SelectedPath(), BelowRoot("r/a/b"));
    // A folder outside the root: the top node is the nearest the tree holds.
    picker->SetSelectedPath(BelowRoot("other"));
    EXPECT_EQ(picker->SelectedPath(), BelowRoot("r"));
}

TEST_F(PathDialogTest, ListsFoldersOnlyHiddenOnesIncludedInNaturalOrder) {
    MakeDirs({"top/b", "top/A", "top/.hidden", "top/x10", "top/x9", "top/A/inner"});
    MakeFile("top/file.txt");
    MakeFile("top/.hiddenfile");
    auto picker = Open(BelowRoot("top"));
    TShellTreeNode* top = picker->sShellTreeView1->SelectedNode();
    picker->sShellTreeView1->ExpandNode(top);
    QStringList texts = ChildTexts(top);
    EXPECT_THAT(texts, ::testing::UnorderedElementsAre(".hidden", "A", "b", "x9", "x10"));
    EXPECT_LT(texts.indexOf("A"), texts.indexOf("b"));
    EXPECT_LT(texts.indexOf("x9"), texts.indexOf("x10"));
    // The expand mark stays only where there are subfolders.
    for (int i = 0; i < top->childCount(); ++i) {
        auto* child = top->ChildNode(i);
        const bool hasSub = child->text(0) == "A";
        EXPECT_EQ(child->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator, hasSub)
            << child->text(0).toStdString();
    }
}

TEST_F(PathDialogTest, ALinkToAFolderIsListedAsAFolderWithItsSubfolders) {
    MakeDirs({"top/A/inner", "top/plain"});
    std::error_code ec;
    std::filesystem::create_directory_symlink(std::filesystem::path(BelowRoot("top/A").toStdWString()),
                                              std::filesystem::path(BelowRoot("top/linkToA").toStdWString()), ec);
    if (ec) {
        GTEST_SKIP() << "this platform does not let the test make links: " << ec.message();
    }
    auto picker = Open(BelowRoot("top"));
    TShellTreeNode* top = picker->sShellTreeView1->SelectedNode();
    picker->sShellTreeView1->ExpandNode(top);
    EXPECT_THAT(ChildTexts(top), ::testing::UnorderedElementsAre("A", "linkToA", "plain"));
    for (int i = 0; i < top->childCount(); ++i) {
        auto* child = top->ChildNode(i);
        const bool hasSub = child->text(0) != "plain";
        EXPECT_EQ(child->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator, hasSub)
            << child->text(0).toStdString();
    }
}

TEST_F(PathDialogTest, ButtonsFollowWhetherTheSelectionIsAnExistingFolder) {
    MakeDirs({"a/gone"});
    auto picker = Open(BelowRoot("a/gone"));
    ASSERT_TRUE(picker->sBitBtn1->isEnabled());
    ASSERT_TRUE(QDir(BelowRoot("a/gone")).removeRecursively());
    TShellTreeNode* gone = picker->sShellTreeView1->SelectedNode();
    picker->sShellTreeView1->setCurrentItem(gone->ParentNode());
    EXPECT_TRUE(picker->sBitBtn1->isEnabled());
    picker->sShellTreeView1->setCurrentItem(gone);
    EXPECT_FALSE(picker->sBitBtn1->isEnabled());
    EXPECT_FALSE(picker->sBitBtn3->isEnabled());
}

TEST_F(PathDialogTest, OkReturnsTheSelectedPathAndCancelNoResult) {
    MakeDirs({"a/b"});
    {
        auto picker = Open(BelowRoot("a/b/"));
        Drive(picker.get(), [&] { picker->sBitBtn1->click(); });
        EXPECT_TRUE(picker->Execute());
        EXPECT_EQ(picker->SelectedPath(), BelowRoot("a/b"));
    }
    {
        auto picker = Open(BelowRoot("a/b"));
        Drive(picker.get(), [&] { picker->sBitBtn2->click(); });
        EXPECT_FALSE(picker->Execute());
    }
    {
        auto picker = Open(BelowRoot("a/b"));
        Drive(picker.get(), [&] { Key(picker->sShellTreeView1, Qt::Key_Escape); });
        EXPECT_FALSE(picker->Execute());
    }
    {
        // Enter on the tree presses the default button.
        auto picker = Open(BelowRoot("a"));
        Drive(picker.get(), [&] { Key(picker->sShellTreeView1, Qt::Key_Return); });
        EXPECT_TRUE(picker->Execute());
        EXPECT_EQ(picker->SelectedPath(), BelowRoot("a"));
    }
}

TEST_F(PathDialogTest, CreateTakesTheFirstFreeNumber) {
    struct Case {
        std::vector<const char*> taken;
        const char* expected;
    };
    const Case cases[] = {
        {{}, "New folder1"},
        {{"New folder1"}, "New folder2"},
        {{"New folder1", "New folder2", "New folder4"}, "New folder3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        QDir(BelowRoot("parent")).removeRecursively();
        MakeDirs({"parent"});
        for (const char* t : c.taken) {
            MakeDirs({QString("parent/%1").arg(t).toUtf8().constData()});
        }
        auto picker = Open(BelowRoot("parent"));
        picker->sBitBtn3->click();
        const QString expected = BelowRoot(QString("parent/") + c.expected);
        EXPECT_TRUE(QFileInfo(expected).isDir());
        EXPECT_EQ(picker->SelectedPath(), expected);
        TShellTreeNode* created = picker->sShellTreeView1->SelectedNode();
        EXPECT_EQ(created->text(0), c.expected);
        EXPECT_EQ(created->ParentNode()->Item()->PathName(), BelowRoot("parent").toStdString());
        EXPECT_TRUE(picker->sShellTreeView1->IsEditing());
        EXPECT_TRUE(errorBoxes.isEmpty());
    }
}

TEST_F(PathDialogTest, CreateSkipsANumberThatAFileHolds) {
    MakeDirs({"parent"});
    MakeFile("parent/New folder1");
    auto picker = Open(BelowRoot("parent"));
    picker->sBitBtn3->click();
    EXPECT_TRUE(errorBoxes.isEmpty());
    EXPECT_EQ(picker->SelectedPath(), BelowRoot("parent/New folder2"));
    EXPECT_TRUE(QFileInfo(BelowRoot("parent/New folder1")).isFile());
}

TEST_F(PathDialogTest, CreateAtARootMakesNoDoubleSeparator) {
    // "/" on POSIX, the drive root (C:\) on Windows: a path that ends in its separator already.
    const QString rootPath = QDir::toNativeSeparators(QDir::rootPath());
    auto picker = Open(rootPath);
    EXPECT_EQ(picker->SelectedPath(), rootPath);
    const std::string next = picker->NextNewFolderName();
    EXPECT_EQ(next.rfind(rootPath.toStdString() + "New folder", 0), 0u) << next;
    EXPECT_EQ(next.find(std::string(2, platform::PathDelimiter())), std::string::npos) << next;
}

TEST_F(PathDialogTest, RefusedCreateShowsTheErrorAndLeavesTheTreeAlone) {
    MakeDirs({"ro/sub"});
    auto picker = Open(BelowRoot("ro"));
    picker->sShellTreeView1->ExpandNode(picker->sShellTreeView1->SelectedNode());
    RefusingMakeDirectoryFs refusing;
    {
        const platform::ScopedOverride<platform::FileSystem*> use(platform::FsOverride(), &refusing);
        picker->sBitBtn3->click();
    }
    ASSERT_THAT(refusing.attempts, ElementsAre(BelowRoot("ro/New folder1").toStdString()));
    EXPECT_THAT(errorBoxes, ElementsAre("Directory " + BelowRoot("ro/New folder1") + " can`t be created!"));
    EXPECT_EQ(picker->SelectedPath(), BelowRoot("ro"));
    EXPECT_THAT(ChildTexts(picker->sShellTreeView1->SelectedNode()), ElementsAre("sub"));
    EXPECT_FALSE(picker->sShellTreeView1->IsEditing());
}

TEST_F(PathDialogTest, EnterWhileEditingRenamesAndKeepsThePickerOpen) {
    MakeDirs({"p"});
    auto picker = Open(BelowRoot("p"));
    bool stillOpenAfterRename = false;
    bool editorSeen = false;
    Drive(picker.get(), [&] {
        picker->sBitBtn3->click();
        QLineEdit* editor = Editor(*picker);
        editorSeen = editor != nullptr;
        if (!editor) {
            picker->reject();
            return;
        }
        editor->setText("Renamed");
        Key(editor, Qt::Key_Return);
        stillOpenAfterRename = picker->isVisible() && !picker->sShellTreeView1->IsEditing();
        // A second Enter, now on the tree, confirms.
        Key(picker->sShellTreeView1, Qt::Key_Return);
    });
    EXPECT_TRUE(picker->Execute());
    EXPECT_TRUE(editorSeen);
    EXPECT_TRUE(stillOpenAfterRename);
    EXPECT_EQ(picker->SelectedPath(), BelowRoot("p/Renamed"));
    EXPECT_TRUE(QFileInfo(BelowRoot("p/Renamed")).isDir());
    EXPECT_FALSE(QFileInfo(BelowRoot("p/New folder1")).exists());
    EXPECT_TRUE(applicationErrors.isEmpty());
}

TEST_F(PathDialogTest, OkWhileEditingEndsTheEditKeepingTheText) {
    MakeDirs({"p/old"});
    auto picker = Open(BelowRoot("p/old"));
    bool stillOpen = false;
    Drive(picker.get(), [&] {
        picker->sShellTreeView1->StartEdit(picker->sShellTreeView1->SelectedNode());
        if (QLineEdit* editor = Editor(*picker)) {
            editor->setText("new");
            picker->sBitBtn1->click();
            QApplication::processEvents();
            stillOpen = picker->isVisible();
        }
        picker->sBitBtn1->click();
    });
    EXPECT_TRUE(picker->Execute());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(picker->SelectedPath(), BelowRoot("p/new"));
    EXPECT_TRUE(QFileInfo(BelowRoot("p/new")).isDir());
}

TEST_F(PathDialogTest, EscAndCancelWhileEditingDoNotClose) {
    MakeDirs({"p/old"});
    auto picker = Open(BelowRoot("p/old"));
    bool openAfterEsc = false;
    bool openAfterCancel = false;
    Drive(picker.get(), [&] {
        picker->sShellTreeView1->StartEdit(picker->sShellTreeView1->SelectedNode());
        if (QLineEdit* editor = Editor(*picker)) {
            editor->setText("typed");
            Key(editor, Qt::Key_Escape);
            openAfterEsc = picker->isVisible();
        }
        picker->sShellTreeView1->StartEdit(picker->sShellTreeView1->SelectedNode());
        picker->sBitBtn2->click();
        openAfterCancel = picker->isVisible() && picker->sShellTreeView1->IsEditing();
        picker->sShellTreeView1->EndEdit(false);
        Key(picker->sShellTreeView1, Qt::Key_Escape);
    });
    EXPECT_FALSE(picker->Execute());
    EXPECT_TRUE(openAfterEsc);
    EXPECT_TRUE(openAfterCancel);
    // The dropped edit renamed nothing.
    EXPECT_TRUE(QFileInfo(BelowRoot("p/old")).isDir());
    EXPECT_FALSE(QFileInfo(BelowRoot("p/typed")).exists());
}

TEST_F(PathDialogTest, ClosingByTheFrameWhileEditingEndsWithoutResultOrRename) {
    MakeDirs({"p/old"});
    auto picker = Open(BelowRoot("p/old"));
    Drive(picker.get(), [&] {
        picker->sShellTreeView1->StartEdit(picker->sShellTreeView1->SelectedNode());
        if (QLineEdit* editor = Editor(*picker)) {
            editor->setText("typed");
        }
        picker->close();
        if (picker->isVisible()) {
            ADD_FAILURE() << "the frame did not close the picker";
            picker->sShellTreeView1->EndEdit(false);
            picker->reject();
        }
    });
    EXPECT_FALSE(picker->Execute());
    EXPECT_TRUE(QFileInfo(BelowRoot("p/old")).isDir());
    EXPECT_FALSE(QFileInfo(BelowRoot("p/typed")).exists());
}

TEST_F(PathDialogTest, ContextMenuActsOnTheNodeUnderTheMouse) {
    MakeDirs({"c/one", "c/two"});
    auto picker = Open(BelowRoot("c/one"));
    picker->show();
    QApplication::processEvents();
    TsShellTreeView* tree = picker->sShellTreeView1;
    TShellTreeNode* two = tree->FindNode(tree->SelectedNode()->ParentNode()->ChildNode(1)->Item()->AbsoluteId());
    ASSERT_EQ(two->text(0), "two");
    const auto chooseFromMenu = [&](const QString& text) {
        QStringList offered;
        QTimer::singleShot(0, [&offered, text] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) {
                ADD_FAILURE() << "no menu";
                if (QWidget* popup = QApplication::activePopupWidget()) {
                    popup->close();
                }
                return;
            }
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator()) {
                    offered << action->text();
                }
                if (action->text() == text) {
                    menu->setActiveAction(action);
                    action->trigger();
                    menu->close();
                }
            }
        });
        const QPoint at = tree->visualItemRect(two).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &event);
        QApplication::processEvents();
        return offered;
    };
    EXPECT_THAT(chooseFromMenu("New folder"), ElementsAre("Open", "Rename", "New folder"));
    EXPECT_TRUE(QFileInfo(BelowRoot("c/two/New folder1")).isDir());
    EXPECT_EQ(tree->SelectedPath(), BelowRoot("c/two/New folder1"));
    tree->EndEdit(false);

    two = tree->FindNode(tree->SelectedNode()->ParentNode()->Item()->AbsoluteId());
    chooseFromMenu("Rename");
    EXPECT_EQ(tree->SelectedPath(), BelowRoot("c/two"));
    EXPECT_TRUE(tree->IsEditing());
    tree->EndEdit(false);
    picker->hide();
}

TEST_F(PathDialogTest, RefusedRenameReportsAndKeepsTheName) {
    // An empty folder is the case a plain rename would silently replace.
    MakeDirs({"p/old/inside", "p/taken/keep", "p/empty"});
    const QString refused[] = {"taken", "empty", "taken/moved", "..", ""};
    for (const QString& name : refused) {
        SCOPED_TRACE(name.toStdString());
        applicationErrors.clear();
        auto picker = Open(BelowRoot("p/old"));
        TShellTreeNode* node = picker->sShellTreeView1->SelectedNode();
        picker->sShellTreeView1->StartEdit(node);
        QLineEdit* editor = Editor(*picker);
        ASSERT_NE(editor, nullptr);
        editor->setText(name);
        picker->sShellTreeView1->EndEdit(true);
        QApplication::processEvents();
        EXPECT_THAT(applicationErrors, ElementsAre("Rename to " + name + " failed"));
        EXPECT_EQ(picker->sShellTreeView1->SelectedNode()->text(0), "old");
        EXPECT_EQ(picker->SelectedPath(), BelowRoot("p/old"));
        EXPECT_TRUE(QFileInfo(BelowRoot("p/old/inside")).isDir());
        EXPECT_TRUE(QFileInfo(BelowRoot("p/taken/keep")).isDir());
        EXPECT_TRUE(QFileInfo(BelowRoot("p/empty")).isDir());
    }
}

TEST_F(PathDialogTest, RefusedRenameGoesToTheApplicationsFailureBox) {
    UseTheProgramsMessages();
    testing::BoxAnswerer answerer;
    MakeDirs({"p/old", "p/taken"});
    auto picker = Open(BelowRoot("p/old"));
    picker->sShellTreeView1->StartEdit(picker->sShellTreeView1->SelectedNode());
    QLineEdit* editor = Editor(*picker);
    ASSERT_NE(editor, nullptr);
    editor->setText("taken");
    picker->sShellTreeView1->EndEdit(true);
    QApplication::processEvents();
    EXPECT_THAT(answerer.Texts(), ElementsAre("Rename to taken failed."));
}

TEST_F(PathDialogTest, RenameKeepsTheRenamedFolderSelectedAndExpanded) {
    MakeDirs({"p/m/inner/deep", "p/z"});
    auto picker = Open(BelowRoot("p/m/inner"));
    TsShellTreeView* tree = picker->sShellTreeView1;
    TShellTreeNode* m = tree->SelectedNode()->ParentNode();
    tree->setCurrentItem(m);
    tree->RenameNode(m, "a");
    TShellTreeNode* node = tree->SelectedNode();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(tree->SelectedPath(), BelowRoot("p/a"));
    EXPECT_TRUE(node->isExpanded());
    // The renamed folder moved before its sibling, and the nodes below it carry the new path.
    EXPECT_THAT(ChildTexts(node->ParentNode()), ElementsAre("a", "z"));
    ASSERT_EQ(node->childCount(), 1);
    EXPECT_EQ(node->ChildNode(0)->Item()->PathName(), BelowRoot("p/a/inner").toStdString());
    tree->SetSelectedPath(BelowRoot("p/a/inner/deep"));
    EXPECT_EQ(tree->SelectedPath(), BelowRoot("p/a/inner/deep"));
}

TEST_F(PathDialogTest, RefreshShowsOutsideChangesAndKeepsExpandedAndSelectedNodes) {
    MakeDirs({"r/a/a1", "r/b/b1", "r/c"});
    auto picker = Open(BelowRoot("r/b/b1"));
    TsShellTreeView* tree = picker->sShellTreeView1;
    TShellTreeNode* r = tree->SelectedNode()->ParentNode()->ParentNode();
    tree->ExpandNode(r->ChildNode(0)); // a
    MakeDirs({"r/b/b2", "r/new"});
    ASSERT_TRUE(QDir(BelowRoot("r/c")).removeRecursively());
    tree->Refresh(r);
    EXPECT_THAT(ChildTexts(r), ElementsAre("a", "b", "new"));
    EXPECT_TRUE(r->ChildNode(0)->isExpanded());
    EXPECT_TRUE(r->ChildNode(1)->isExpanded());
    EXPECT_THAT(ChildTexts(r->ChildNode(1)), ElementsAre("b1", "b2"));
    EXPECT_EQ(tree->SelectedPath(), BelowRoot("r/b/b1"));
}

TEST_F(PathDialogTest, RefreshKeepsTheNodeAtTheTopOfTheView) {
    for (int i = 10; i < 70; ++i) {
        MakeDirs({QString("many/f%1").arg(i).toUtf8().constData()});
    }
    auto picker = Open(BelowRoot("many/f50"));
    picker->show();
    QApplication::processEvents();
    TsShellTreeView* tree = picker->sShellTreeView1;
    tree->scrollToItem(tree->SelectedNode(), QAbstractItemView::PositionAtTop);
    auto* top = static_cast<TShellTreeNode*>(tree->itemAt(0, 0));
    ASSERT_NE(top, nullptr);
    const std::string topPath = top->Item()->PathName();
    ASSERT_EQ(topPath, BelowRoot("many/f50").toStdString());
    // New folders sorted before it would push it down.
    MakeDirs({"many/a1", "many/a2", "many/a3"});
    tree->Refresh(tree->SelectedNode()->ParentNode());
    QApplication::processEvents();
    top = static_cast<TShellTreeNode*>(tree->itemAt(0, 0));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->Item()->PathName(), topPath);
    EXPECT_EQ(tree->SelectedNode()->ParentNode()->childCount(), 63);
    picker->hide();
}

TEST_F(PathDialogTest, LayoutTextsAndAnchors) {
    auto picker = Open();
    EXPECT_EQ(picker->windowTitle(), "Select directory");
    EXPECT_EQ(picker->sBitBtn1->text(), "OK");
    EXPECT_EQ(picker->sBitBtn2->text(), "Cancel");
    EXPECT_EQ(picker->sBitBtn3->text(), "Create");
    EXPECT_EQ(picker->sLabel1->text(), "Root:");
    EXPECT_TRUE(picker->sBitBtn1->isDefault());
    EXPECT_EQ(picker->size(), QSize(370, 415));
    EXPECT_EQ(picker->minimumSize(), QSize(370, 415));
    // Tab order: the tree, OK, Cancel, Create, the root-button column.
    const QList<QWidget*> ours{picker->sBitBtn1, picker->sBitBtn2, picker->sBitBtn3, picker->sScrollBox1};
    QList<QWidget*> order;
    for (QWidget* w = picker->sShellTreeView1->nextInFocusChain(); w != picker->sShellTreeView1;
         w = w->nextInFocusChain()) {
        if (ours.contains(w)) {
            order << w;
        }
    }
    EXPECT_EQ(order, ours);

    picker->show();
    picker->resize(500, 600);
    QApplication::processEvents();
    EXPECT_EQ(picker->sShellTreeView1->geometry(), QRect(15, 20, 345 + 130, 349 + 185));
    EXPECT_EQ(picker->sBitBtn1->geometry(), QRect(204 + 130, 376 + 185, 75, 25));
    EXPECT_EQ(picker->sBitBtn2->geometry(), QRect(281 + 130, 376 + 185, 75, 25));
    EXPECT_EQ(picker->sBitBtn3->geometry(), QRect(19, 376 + 185, 75, 25));

    // The least outer size is 370 x 415: the inner area gives up what the frame takes.
    picker->resize(100, 100);
    QApplication::processEvents();
    const QSize frame = picker->frameGeometry().size() - picker->size();
    EXPECT_EQ(picker->frameGeometry().size(), QSize(370, 415));
    EXPECT_EQ(picker->sBitBtn2->geometry(), QRect(281 - frame.width(), 376 - frame.height(), 75, 25));
    EXPECT_EQ(picker->sShellTreeView1->geometry(), QRect(15, 20, 345 - frame.width(), 349 - frame.height()));
    picker->hide();
}

TEST_F(PathDialogTest, FolderFieldContractDrivesThePicker) {
    MakeDirs({"f/g"});
    std::unique_ptr<IFolderPicker> picker = CreateFolderPicker(nullptr);
    auto* form = dynamic_cast<TPathDialogForm*>(picker.get());
    ASSERT_NE(form, nullptr);
    picker->SetDialogText("Choose");
    picker->SetRoot("rfDesktop");
    picker->SetCreateVisible(false);
    picker->SetSelectedPath(BelowRoot("f/g"));
    EXPECT_TRUE(form->sBitBtn3->isHidden());
    EXPECT_EQ(form->sShellTreeView1Label->text(), "Choose");
    EXPECT_EQ(form->sBitBtn1->text(), "OK");
    Drive(form, [form] { form->sBitBtn1->click(); });
    EXPECT_TRUE(picker->Execute());
    EXPECT_EQ(picker->SelectedPath(), BelowRoot("f/g"));
}

TEST_F(PathDialogTest, FolderFieldBrowseOpensThisPickerOnItsFolder) {
    MakeDirs({"field/start/sub"});
    TsDirectoryEdit edit;
    edit.setText(BelowRoot("field/start"));
    QString openedOn;
    DriveModal([&] {
        ASSERT_NE(PathDialogForm, nullptr);
        openedOn = PathDialogForm->SelectedPath();
        PathDialogForm->SetSelectedPath(BelowRoot("field/start/sub"));
        PathDialogForm->sBitBtn1->click();
    });
    edit.BrowseClick();
    EXPECT_EQ(openedOn, BelowRoot("field/start"));
    EXPECT_EQ(edit.text(), BelowRoot("field/start/sub"));
    EXPECT_EQ(PathDialogForm, nullptr);
}

TEST_F(PathDialogTest, ErrorBoxIsModalWithErrorCaptionIconAndOk) {
    UseTheProgramsMessages();
    QString caption, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    DriveModal([&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            caption = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            box->accept();
        }
    });
    ShowErrorBox("Directory /x can`t be created!");
    EXPECT_EQ(caption, "Error");
    EXPECT_EQ(text, "Directory /x can`t be created!");
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::Ok);
}

struct PathCase {
    platform::PathStyle style;
    const char* path;
    std::vector<std::string> id;
    const char* pathName; // PathOf(id)
};

// The Windows namespace of a machine whose desktop lies in C:\Users\me\Desktop.
class WindowsNamespaceFixture {
protected:
    TWindowsNamespace FNamespace{"Desktop", "C:\\Users\\me\\Desktop", "This PC"};

private:
    platform::ScopedOverride<const TWindowsNamespace*> FOverride{TheWindowsNamespace, &FNamespace};
};

class ItemPaths : public ::testing::TestWithParam<PathCase>, protected WindowsNamespaceFixture {};

TEST_P(ItemPaths, ParseAndBackInBothStyles) {
    const PathCase& c = GetParam();
    TItemId id;
    ASSERT_TRUE(TShellFolderItem::ParsePath(c.path, id, c.style));
    EXPECT_EQ(id, c.id);
    EXPECT_EQ(TShellFolderItem::PathOf(id, c.style), c.pathName);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, ItemPaths,
    ::testing::Values(
        PathCase{platform::PathStyle::Posix, "/", {}, "/"},
        PathCase{platform::PathStyle::Posix, "/a//b/", {"a", "b"}, "/a/b"},
        PathCase{platform::PathStyle::Windows, "C:\\", {kComputerId, "C:"}, "C:\\"},
        PathCase{platform::PathStyle::Windows, "C:", {kComputerId, "C:"}, "C:\\"},
        PathCase{platform::PathStyle::Windows, "c:/Data\\x\\", {kComputerId, "c:", "Data", "x"}, "c:\\Data\\x"},
        // The desktop's own folder is the top; what lies below it belongs to the desktop.
        PathCase{platform::PathStyle::Windows, "c:\\users\\ME\\desktop", {}, "C:\\Users\\me\\Desktop"},
        PathCase{
            platform::PathStyle::Windows, "C:\\Users\\me\\Desktop\\a\\b", {"a", "b"}, "C:\\Users\\me\\Desktop\\a\\b"},
        PathCase{platform::PathStyle::Windows,
                 "C:\\Users\\me\\Desktops",
                 {kComputerId, "C:", "Users", "me", "Desktops"},
                 "C:\\Users\\me\\Desktops"}));

TEST(ItemPathsRefused, UnparsablePaths) {
    using platform::PathStyle;
    const std::pair<PathStyle, const char*> cases[] = {
        {PathStyle::Posix, ""},        {PathStyle::Posix, "relative"},
        {PathStyle::Posix, "/a/../b"}, {PathStyle::Windows, "\\\\server\\share"},
        {PathStyle::Windows, "Data"},  {PathStyle::Windows, "C:x"},
    };
    for (const auto& [style, path] : cases) {
        TItemId id;
        EXPECT_FALSE(TShellFolderItem::ParsePath(path, id, style)) << path;
    }
}

TEST(ItemIdentity, WindowsNamesCompareWithoutCaseAndPosixNamesExactly) {
    EXPECT_TRUE(TShellFolderItem::SameId({kComputerId, "C:", "Data"}, {kComputerId, "c:", "DATA"},
                                         platform::PathStyle::Windows));
    EXPECT_FALSE(TShellFolderItem::SameId({"Data"}, {"data"}, platform::PathStyle::Posix));
    EXPECT_FALSE(TShellFolderItem::SameId({"a"}, {"a", "b"}, platform::PathStyle::Posix));
}

TEST(ItemNames, NewNamesMustBeOneValidName) {
    using platform::PathStyle;
    for (const char* bad : {"", ".", "..", "a/b"}) {
        EXPECT_FALSE(TShellFolderItem::IsValidNewName(bad, PathStyle::Posix)) << bad;
        EXPECT_FALSE(TShellFolderItem::IsValidNewName(bad, PathStyle::Windows)) << bad;
    }
    for (const char* bad : {"a\\b", "a:b", "a*", "a?", "a\"b", "a<", "a>", "a|"}) {
        EXPECT_FALSE(TShellFolderItem::IsValidNewName(bad, PathStyle::Windows)) << bad;
        EXPECT_TRUE(TShellFolderItem::IsValidNewName(bad, PathStyle::Posix)) << bad;
    }
    EXPECT_TRUE(TShellFolderItem::IsValidNewName("New folder1", PathStyle::Windows));
}

class WindowsItems : public ::testing::Test, protected WindowsNamespaceFixture {};

TEST_F(WindowsItems, TopIsTheDesktopWithTheComputerAndTheDesktopsFoldersBelow) {
    constexpr auto windows = platform::PathStyle::Windows;
    TShellFolderItem top(nullptr, {}, windows);
    EXPECT_FALSE(top.IsVirtual());
    EXPECT_EQ(top.PathName(), "C:\\Users\\me\\Desktop");
    EXPECT_EQ(top.DisplayName(), "Desktop");
    EXPECT_TRUE(top.SubFolders());
    EXPECT_FALSE(top.CanRename());

    TShellFolderItem computer(&top, {kComputerId}, windows);
    EXPECT_TRUE(computer.IsVirtual());
    EXPECT_EQ(computer.PathName(), "This PC");
    EXPECT_EQ(computer.DisplayName(), "This PC");
    EXPECT_FALSE(computer.CanRename());

    TShellFolderItem drive(&computer, {kComputerId, "C:"}, windows);
    EXPECT_EQ(drive.PathName(), "C:\\");
    EXPECT_EQ(drive.DisplayName(), "C:\\");
    EXPECT_FALSE(drive.CanRename());
    TShellFolderItem folder(&drive, {kComputerId, "C:", "Data"}, windows);
    EXPECT_EQ(folder.PathName(), "C:\\Data");
    EXPECT_EQ(folder.DisplayName(), "Data");
    EXPECT_TRUE(folder.CanRename());

    TShellFolderItem onDesktop(&top, {"Work"}, windows);
    EXPECT_EQ(onDesktop.PathName(), "C:\\Users\\me\\Desktop\\Work");
    EXPECT_EQ(onDesktop.DisplayName(), "Work");
    EXPECT_TRUE(onDesktop.CanRename());
}

TEST_F(WindowsItems, ADesktopWithoutAFolderIsVirtualAndHoldsOnlyTheComputer) {
    const TWindowsNamespace noFolder{"", "", ""};
    platform::ScopedOverride<const TWindowsNamespace*> scoped(TheWindowsNamespace, &noFolder);
    TShellFolderItem top(nullptr, {}, platform::PathStyle::Windows);
    EXPECT_TRUE(top.IsVirtual());
    EXPECT_EQ(top.PathName(), "Desktop");
    EXPECT_EQ(top.EnumerateFolders(), std::vector<TItemId>{{kComputerId}});
    TShellFolderItem computer(&top, {kComputerId}, platform::PathStyle::Windows);
    EXPECT_EQ(computer.PathName(), "Computer");
}

TEST(ItemNames, QuestionMarksGoOnlyBeforeADigit) {
    const std::pair<const char*, const char*> cases[] = {
        {"?1a?b", "1ab"}, {"?a?b", "?a?b"}, {"?", "?"}, {"?7", "7"}, {"a?1", "a?1"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(StripQuestionMarks(in), out) << in;
    }
    // A POSIX folder may really be called so; its path must stay its own.
    TShellFolderItem windows(nullptr, {kComputerId, "C:", "?1a"}, platform::PathStyle::Windows);
    EXPECT_EQ(windows.DisplayName(), "1a");
    TShellFolderItem posix(nullptr, {"d", "?1a"}, platform::PathStyle::Posix);
    EXPECT_EQ(posix.DisplayName(), "?1a");
    EXPECT_EQ(posix.PathName(), "/d/?1a");
}

} // namespace
} // namespace pardova
