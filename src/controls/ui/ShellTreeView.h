#pragma once
// The folder tree of the folder picker. It starts at the top of the file system (or at a folder given as
// its root), lists folders only, hidden ones included, and reads a node's children from the platform when
// the node is first expanded. It does not watch the file system: Refresh reads a subtree again.

#include "controls/core/ShellFolderItem.h"

#include <QPointer>
#include <QString>
#include <QTreeWidget>

#include <memory>
#include <vector>

namespace pardova {

// A node owns its item; the item is freed with the node.
class TShellTreeNode : public QTreeWidgetItem {
public:
    explicit TShellTreeNode(std::unique_ptr<TShellFolderItem> item);
    TShellFolderItem* Item() const { return FItem.get(); }
    bool ChildrenRead() const { return FChildrenRead; }
    void SetChildrenRead(bool read) { FChildrenRead = read; }
    TShellTreeNode* ParentNode() const { return static_cast<TShellTreeNode*>(parent()); }
    TShellTreeNode* ChildNode(int i) const { return static_cast<TShellTreeNode*>(child(i)); }
    // Names sort as people read them: letter case ignored, digit runs by their value.
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    std::unique_ptr<TShellFolderItem> FItem;
    bool FChildrenRead = false;
};

class TsShellTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TsShellTreeView(QWidget* parent = nullptr);
    ~TsShellTreeView() override;

    // "rfDesktop" (the top of the file system) or a folder path. Setting a different root reloads the
    // tree; a root that cannot be resolved raises Exception "Error Setting Path: %s".
    QString Root() const { return FRoot; }
    void SetRoot(const QString& root);

    // PathName of the selected node's item; "" when no node is selected.
    QString SelectedPath() const;
    // Selects the node of a folder, expanding its ancestors; raises Exception "Error Setting Path" for a
    // path that cannot be parsed. A folder the tree does not hold selects its nearest ancestor that it does.
    void SetSelectedPath(const QString& path);

    TShellTreeNode* TopNode() const;
    TShellTreeNode* SelectedNode() const;
    TShellFolderItem* SelectedFolder() const;
    // The node of a loaded item, or null.
    TShellTreeNode* FindNode(const TItemId& id) const;

    // Reads the node's children when they have not been read, then expands it.
    void ExpandNode(TShellTreeNode* node);
    // Reads the node's subtree again; expanded nodes stay expanded, the selection and the top of the view
    // stay where they were when their folders still exist.
    void Refresh(TShellTreeNode* node);

    // In-place editing of a node's name.
    bool IsEditing() const;
    void StartEdit(TShellTreeNode* node);
    // Ends an edit in progress, keeping the typed text (the rename runs) or dropping it.
    void EndEdit(bool keepText);
    // Renames the node's folder; raises Exception "Rename to %s failed" when the platform refuses. A node
    // whose item may not be renamed is left alone.
    void RenameNode(TShellTreeNode* node, const QString& newName);

signals:
    // The selected node changed (also while the tree loads).
    void Change();
    // A failure in a user action (such as a refused rename) to show in the error message box.
    void ErrorRaised(const QString& message);
    // The context menu's "New folder" for the selected node.
    void NewFolderRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Dotted lines joining each node to its parent's line, and a boxed plus or minus on nodes that carry
    // an expand mark; the toolkit's own style draws only arrows.
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class TShellNameDelegate;

    void Load(const TItemId& topId);
    TShellTreeNode* MakeNode(TShellFolderItem* parentItem, TItemId id, bool probeSubFolders = true);
    void ReadChildren(TShellTreeNode* node);
    void ResetChildren(TShellTreeNode* node);
    void MergeChildren(TShellTreeNode* node);
    void OnItemExpanded(QTreeWidgetItem* item);
    void OpenSelected();
    void EditorCreated(QWidget* editor) { FEditor = editor; }
    void CommitEdit(const QModelIndex& index, const QString& text);

    QString FRoot;
    QPointer<QWidget> FEditor;
    int FChangeLock = 0;
};

} // namespace pardova
