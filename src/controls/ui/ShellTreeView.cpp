#include "controls/ui/ShellTreeView.h"

#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Shell.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>

#include <utility>

namespace pardova {

namespace {

std::string ToStd(const QString& s) { return s.toStdString(); }
QString ToQ(const std::string& s) { return QString::fromStdString(s); }

// Shows the hourglass while the platform is read.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Names compare as people read them: letter case ignored, and a run of digits by its value, so "x9"
// comes before "x10". Names equal in that sense fall back to their exact text, for a stable order.
int CompareNames(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype si = i, sj = j;
            while (si < a.size() && a[si] == u'0') {
                ++si;
            }
            while (sj < b.size() && b[sj] == u'0') {
                ++sj;
            }
            qsizetype ei = si, ej = sj;
            while (ei < a.size() && a[ei].isDigit()) {
                ++ei;
            }
            while (ej < b.size() && b[ej].isDigit()) {
                ++ej;
            }
            if (ei - si != ej - sj) {
                return ei - si < ej - sj ? -1 : 1;
            }
            if (const int c = QStringView(a).mid(si, ei - si).compare(QStringView(b).mid(sj, ej - sj)); c != 0) {
                return c;
            }
            i = ei;
            j = ej;
            continue;
        }
        const char32_t ca = a[i].toCaseFolded().unicode();
        const char32_t cb = b[j].toCaseFolded().unicode();
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) {
        return i < a.size() ? 1 : -1;
    }
    return a.compare(b);
}

// Each probe for subfolders reads a folder; under a parent with very many folders the expand marks are
// shown without probing, and a mark goes away when its node turns out to have no children.
bool ProbeSubFolders(size_t siblings) { return siblings <= 512; }

bool IdStartsWith(const TItemId& id, const TItemId& prefix) {
    if (prefix.size() > id.size()) {
        return false;
    }
    return TShellFolderItem::SameId(TItemId(id.begin(), id.begin() + static_cast<std::ptrdiff_t>(prefix.size())),
                                    prefix);
}

} // namespace

// The in-place editor of a node's name. The typed text goes to the tree's rename, never straight into
// the node, so that a refused rename leaves the node's name as it was.
class TShellNameDelegate : public QStyledItemDelegate {
public:
    explicit TShellNameDelegate(TsShellTreeView* tree) : QStyledItemDelegate(tree), FTree(tree) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        FTree->EditorCreated(editor);
        return editor;
    }

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            FTree->CommitEdit(index, line->text());
        }
    }

private:
    TsShellTreeView* FTree;
};

TShellTreeNode::TShellTreeNode(std::unique_ptr<TShellFolderItem> item) : FItem(std::move(item)) {
    setText(0, ToQ(FItem->DisplayName()));
}

bool TShellTreeNode::operator<(const QTreeWidgetItem& other) const { return CompareNames(text(0), other.text(0)) < 0; }

namespace {

// A dotted line of every second pixel, one pixel wide, from (x, y1) to (x, y2) or from (x1, y) to (x2, y).
// The dots keep their phase across rows, so that a line running through many rows stays even.
void DottedVertical(QPainter& painter, int x, int y1, int y2) {
    for (int y = y1 + ((y1 & 1) != 0 ? 1 : 0); y <= y2; y += 2) {
        painter.drawPoint(x, y);
    }
}

void DottedHorizontal(QPainter& painter, int x1, int x2, int y) {
    for (int x = x1 + ((x1 & 1) != 0 ? 1 : 0); x <= x2; x += 2) {
        painter.drawPoint(x, y);
    }
}

} // namespace

void TsShellTreeView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
    // One column of indentation per level below the top node, the last one the node's own; the top node
    // has none, so it gets neither line nor button.
    const int step = indentation();
    const int levels = step > 0 ? rect.width() / step : 0;
    if (levels <= 0) {
        return;
    }
    painter->save();
    painter->setPen(QColor(128, 128, 128));
    const int top = rect.top();
    const int bottom = rect.bottom();
    const int middle = rect.top() + rect.height() / 2;

    // The node's own column: a line up to its parent's line, on down when a sibling follows, across to
    // the node.
    const int ownLeft = rect.right() + 1 - step;
    const int ownX = ownLeft + step / 2;
    const bool hasNextSibling = index.sibling(index.row() + 1, 0).isValid();
    DottedVertical(*painter, ownX, top, hasNextSibling ? bottom : middle);
    DottedHorizontal(*painter, ownX + 1, ownLeft + step - 2, middle);

    // The columns of the ancestors below the top node: their line goes on where a sibling follows them.
    QModelIndex ancestor = index.parent();
    for (int level = levels - 2; level >= 0 && ancestor.isValid(); --level, ancestor = ancestor.parent()) {
        if (ancestor.sibling(ancestor.row() + 1, 0).isValid()) {
            DottedVertical(*painter, ownX - (levels - 1 - level) * step, top, bottom);
        }
    }

    if (model()->hasChildren(index)) {
        // A 9 by 9 box with a minus when expanded and a plus when not.
        const QRect box(ownX - 4, middle - 4, 8, 8);
        painter->fillRect(box, palette().color(QPalette::Base));
        painter->drawRect(box);
        painter->setPen(palette().color(QPalette::Text));
        painter->drawLine(box.left() + 2, middle, box.right() - 2, middle);
        if (!isExpanded(index)) {
            painter->drawLine(ownX, box.top() + 2, ownX, box.bottom() - 2);
        }
    }
    painter->restore();
}

TsShellTreeView::TsShellTreeView(QWidget* parent) : QTreeWidget(parent), FRoot("rfDesktop") {
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(19);
    // The top node has neither a line nor an expand button; every level below it has both.
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setItemDelegate(new TShellNameDelegate(this));
    setContextMenuPolicy(Qt::DefaultContextMenu);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
    connect(this, &QTreeWidget::itemExpanded, this, &TsShellTreeView::OnItemExpanded);
    connect(this, &QTreeWidget::currentItemChanged, this, [this] {
        if (FChangeLock == 0) {
            emit Change();
        }
    });
    Load(TItemId{});
}

TsShellTreeView::~TsShellTreeView() {
    // Items are freed with their nodes; no change is reported while the tree is taken down.
    ++FChangeLock;
}

void TsShellTreeView::SetRoot(const QString& root) {
    if (root == FRoot) {
        return;
    }
    TItemId id;
    bool resolved = false;
    if (root == "rfDesktop" || root == "rfMyComputer") {
        resolved = true;
    } else if (root == "rfPersonal") {
        resolved = TShellFolderItem::ParsePath(ToStd(QDir::homePath()), id);
    } else if (!root.isEmpty()) {
        const std::string full = platform::Fs().GetFullPath(ToStd(root));
        uint32_t error = 0;
        const auto attributes = platform::Fs().GetAttributes(full, &error);
        resolved = attributes && (*attributes & platform::kAttrDirectory) != 0 && TShellFolderItem::ParsePath(full, id);
    }
    if (!resolved) {
        throw platform::Exception("Error Setting Path: " + ToStd(root));
    }
    FRoot = root;
    Load(id);
}

void TsShellTreeView::Load(const TItemId& topId) {
    ++FChangeLock;
    clear();
    --FChangeLock;
    auto* top = MakeNode(nullptr, topId);
    QStyle* st = style();
    top->setIcon(
        0, st->standardIcon(top->Item()->IsVirtual() || topId.empty() ? QStyle::SP_ComputerIcon : QStyle::SP_DirIcon));
    top->setFlags(top->flags() & ~Qt::ItemIsEditable);
    addTopLevelItem(top);
    ExpandNode(top);
    setCurrentItem(top);
}

TShellTreeNode* TsShellTreeView::MakeNode(TShellFolderItem* parentItem, TItemId id, bool probeSubFolders) {
    auto* node = new TShellTreeNode(std::make_unique<TShellFolderItem>(parentItem, std::move(id)));
    QIcon icon;
    QStyle* st = style();
    icon.addPixmap(st->standardIcon(QStyle::SP_DirClosedIcon).pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(st->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16, 16), QIcon::Selected);
    node->setIcon(0, icon);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (node->Item()->CanRename()) {
        flags |= Qt::ItemIsEditable;
    }
    node->setFlags(flags);
    node->setChildIndicatorPolicy(!probeSubFolders || node->Item()->SubFolders() ? QTreeWidgetItem::ShowIndicator
                                                                                 : QTreeWidgetItem::DontShowIndicator);
    return node;
}

void TsShellTreeView::ReadChildren(TShellTreeNode* node) {
    WaitCursor wait;
    const auto ids = node->Item()->EnumerateFolders();
    QList<QTreeWidgetItem*> children;
    children.reserve(static_cast<qsizetype>(ids.size()));
    for (const TItemId& id : ids) {
        children.append(MakeNode(node->Item(), id, ProbeSubFolders(ids.size())));
    }
    node->addChildren(children);
    node->sortChildren(0, Qt::AscendingOrder);
    node->SetChildrenRead(true);
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TsShellTreeView::ExpandNode(TShellTreeNode* node) {
    if (!node) {
        return;
    }
    if (!node->ChildrenRead()) {
        ReadChildren(node);
    }
    node->setExpanded(true);
}

void TsShellTreeView::OnItemExpanded(QTreeWidgetItem* item) {
    auto* node = static_cast<TShellTreeNode*>(item);
    if (!node->ChildrenRead()) {
        ReadChildren(node);
    }
}

// Forgets a node's children so that the next expansion reads them anew.
void TsShellTreeView::ResetChildren(TShellTreeNode* node) {
    for (QTreeWidgetItem* child : node->takeChildren()) {
        delete child;
    }
    node->SetChildrenRead(false);
    node->setChildIndicatorPolicy(node->Item()->SubFolders() ? QTreeWidgetItem::ShowIndicator
                                                             : QTreeWidgetItem::DontShowIndicator);
}

// Brings an expanded node's children in line with the platform. Nodes whose folders still exist are kept
// as they are (so a name being edited and the selection survive); vanished ones go, new ones come.
void TsShellTreeView::MergeChildren(TShellTreeNode* node) {
    const auto ids = node->Item()->EnumerateFolders();
    std::vector<bool> present(ids.size(), false);
    for (int i = node->childCount() - 1; i >= 0; --i) {
        TShellTreeNode* child = node->ChildNode(i);
        bool found = false;
        for (size_t k = 0; k < ids.size(); ++k) {
            if (!present[k] && TShellFolderItem::SameId(ids[k], child->Item()->AbsoluteId())) {
                present[k] = found = true;
                break;
            }
        }
        if (!found) {
            delete node->takeChild(i);
        }
    }
    QList<QTreeWidgetItem*> added;
    for (size_t k = 0; k < ids.size(); ++k) {
        if (!present[k]) {
            added.append(MakeNode(node->Item(), ids[k], ProbeSubFolders(ids.size())));
        }
    }
    node->addChildren(added);
    node->sortChildren(0, Qt::AscendingOrder);
    node->SetChildrenRead(true);
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    const bool probe = ProbeSubFolders(static_cast<size_t>(node->childCount()));
    for (int i = 0; i < node->childCount(); ++i) {
        TShellTreeNode* child = node->ChildNode(i);
        child->setText(0, ToQ(child->Item()->DisplayName()));
        if (child->isExpanded() && child->ChildrenRead()) {
            MergeChildren(child);
        } else if (child->ChildrenRead()) {
            ResetChildren(child);
        } else if (probe) {
            child->setChildIndicatorPolicy(child->Item()->SubFolders() ? QTreeWidgetItem::ShowIndicator
                                                                       : QTreeWidgetItem::DontShowIndicator);
        }
    }
}

void TsShellTreeView::Refresh(TShellTreeNode* node) {
    if (!node) {
        return;
    }
    WaitCursor wait;
    TShellTreeNode* selected = SelectedNode();
    const TItemId selectedId = selected ? selected->Item()->AbsoluteId() : TItemId{};
    auto* topVisible = static_cast<TShellTreeNode*>(itemAt(0, 0));
    const TItemId topId = topVisible ? topVisible->Item()->AbsoluteId() : TItemId{};
    const bool hadTop = topVisible != nullptr;
    const bool wasExpanded = node->isExpanded();

    ++FChangeLock;
    if (wasExpanded || node->ChildrenRead()) {
        MergeChildren(node);
    } else {
        ReadChildren(node);
    }
    --FChangeLock;

    TShellTreeNode* reselect = selected ? FindNode(selectedId) : nullptr;
    if (!reselect && selected) {
        // The selected folder went away; its nearest remaining ancestor takes the selection.
        for (TItemId id = selectedId; !reselect && !id.empty();) {
            id.pop_back();
            reselect = FindNode(id);
        }
    }
    if (reselect && reselect != currentItem()) {
        setCurrentItem(reselect);
    } else if (reselect != selected) {
        emit Change();
    }
    if (hadTop) {
        if (TShellTreeNode* top = FindNode(topId)) {
            scrollToItem(top, QAbstractItemView::PositionAtTop);
        }
    }
}

TShellTreeNode* TsShellTreeView::TopNode() const { return static_cast<TShellTreeNode*>(topLevelItem(0)); }

TShellTreeNode* TsShellTreeView::SelectedNode() const { return static_cast<TShellTreeNode*>(currentItem()); }

TShellFolderItem* TsShellTreeView::SelectedFolder() const {
    TShellTreeNode* node = SelectedNode();
    return node ? node->Item() : nullptr;
}

QString TsShellTreeView::SelectedPath() const {
    TShellFolderItem* item = SelectedFolder();
    return item ? ToQ(item->PathName()) : QString();
}

TShellTreeNode* TsShellTreeView::FindNode(const TItemId& id) const {
    // Walks down from the top along the identity instead of visiting every loaded node.
    TShellTreeNode* node = TopNode();
    if (!node || !IdStartsWith(id, node->Item()->AbsoluteId())) {
        return nullptr;
    }
    while (node->Item()->AbsoluteId().size() < id.size()) {
        const TItemId prefix(id.begin(),
                             id.begin() + static_cast<std::ptrdiff_t>(node->Item()->AbsoluteId().size() + 1));
        TShellTreeNode* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i) {
            if (TShellFolderItem::SameId(node->ChildNode(i)->Item()->AbsoluteId(), prefix)) {
                next = node->ChildNode(i);
            }
        }
        if (!next) {
            return nullptr;
        }
        node = next;
    }
    return node;
}

void TsShellTreeView::SetSelectedPath(const QString& path) {
    const std::string full = path.isEmpty() ? std::string() : platform::Fs().GetFullPath(ToStd(path));
    TItemId target;
    if (!TShellFolderItem::ParsePath(full, target)) {
        throw platform::Exception("Error Setting Path");
    }
    if (TShellFolderItem* selected = SelectedFolder();
        selected && TShellFolderItem::SameId(selected->AbsoluteId(), target)) {
        return;
    }
    TShellTreeNode* node = TopNode();
    if (!node) {
        return;
    }
    if (!IdStartsWith(target, node->Item()->AbsoluteId())) {
        // Outside the tree's root: the top node is the nearest node the tree holds.
        setCurrentItem(node);
        scrollToItem(node);
        return;
    }
    // Each ancestor, shortest first, is expanded so that its children are read; the target itself is
    // selected and shown but not expanded.
    while (node->Item()->AbsoluteId().size() < target.size()) {
        ExpandNode(node);
        const TItemId prefix(target.begin(),
                             target.begin() + static_cast<std::ptrdiff_t>(node->Item()->AbsoluteId().size() + 1));
        TShellTreeNode* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i) {
            if (TShellFolderItem::SameId(node->ChildNode(i)->Item()->AbsoluteId(), prefix)) {
                next = node->ChildNode(i);
            }
        }
        if (!next) {
            break;
        }
        node = next;
    }
    setCurrentItem(node);
    scrollToItem(node);
}

bool TsShellTreeView::IsEditing() const { return state() == QAbstractItemView::EditingState && FEditor; }

void TsShellTreeView::StartEdit(TShellTreeNode* node) {
    if (node && (node->flags() & Qt::ItemIsEditable)) {
        scrollToItem(node);
        editItem(node, 0);
    }
}

void TsShellTreeView::EndEdit(bool keepText) {
    if (!IsEditing()) {
        return;
    }
    QWidget* editor = FEditor;
    if (keepText) {
        commitData(editor);
    }
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TsShellTreeView::CommitEdit(const QModelIndex& index, const QString& text) {
    auto* node = static_cast<TShellTreeNode*>(itemFromIndex(index));
    if (!node) {
        return;
    }
    try {
        RenameNode(node, text);
    } catch (const platform::Exception& e) {
        // Reported once the editor has closed, so that the message box does not take the focus from an
        // editor that is still committing.
        QMetaObject::invokeMethod(
            this, [this, message = ToQ(e.Message())] { emit ErrorRaised(message); }, Qt::QueuedConnection);
    }
}

void TsShellTreeView::RenameNode(TShellTreeNode* node, const QString& newName) {
    TShellFolderItem* item = node->Item();
    if (!item->CanRename()) {
        return;
    }
    const TItemId oldId = item->AbsoluteId();
    if (!item->Rename(ToStd(newName))) {
        throw platform::Exception("Rename to " + ToStd(newName) + " failed");
    }
    const TItemId newId = item->AbsoluteId();
    node->setText(0, newName);
    // Loaded nodes below the renamed folder move with it.
    for (QTreeWidgetItemIterator it(node); *it; ++it) {
        auto* below = static_cast<TShellTreeNode*>(*it);
        if (below == node) {
            continue;
        }
        if (below->Item()->AbsoluteId().size() <= oldId.size()) {
            break;
        }
        if (IdStartsWith(below->Item()->AbsoluteId(), oldId)) {
            TItemId moved = newId;
            moved.insert(moved.end(), below->Item()->AbsoluteId().begin() + static_cast<std::ptrdiff_t>(oldId.size()),
                         below->Item()->AbsoluteId().end());
            below->Item()->SetAbsoluteId(std::move(moved));
        }
    }
    if (TShellTreeNode* parentNode = node->ParentNode()) {
        Refresh(parentNode);
    }
}

void TsShellTreeView::OpenSelected() {
    TShellFolderItem* item = SelectedFolder();
    if (!item || item->IsVirtual()) {
        return;
    }
    // The folder opens with its parent as the working folder. The shell takes that folder as an argument,
    // so the process's own current folder, against which relative paths of later runs resolve, is never
    // changed, whatever the outcome.
    const std::string path = item->PathName();
    platform::ShellOpen(path, platform::FolderPart(path));
}

void TsShellTreeView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) {
        QTreeWidgetItem* under = itemAt(event->pos());
        if (!under) {
            return;
        }
        setCurrentItem(under);
    }
    TShellTreeNode* node = SelectedNode();
    if (!node) {
        return;
    }
    QMenu menu(this);
    QAction* open = menu.addAction(tr("Open"));
    open->setEnabled(!node->Item()->IsVirtual());
    QAction* rename = menu.addAction(tr("Rename"));
    rename->setEnabled((node->flags() & Qt::ItemIsEditable) != 0);
    menu.addSeparator();
    QAction* create = menu.addAction(tr("New folder"));
    create->setEnabled(!node->Item()->IsVirtual());
    const QPoint at = event->reason() == QContextMenuEvent::Mouse
                          ? event->globalPos()
                          : viewport()->mapToGlobal(visualItemRect(node).center());
    // The command is taken from the menu's own signal, which also reports commands chosen by keyboard.
    QAction* chosen = nullptr;
    connect(&menu, &QMenu::triggered, this, [&chosen](QAction* action) { chosen = action; });
    menu.exec(at);
    if (chosen == open) {
        OpenSelected();
    } else if (chosen == rename) {
        StartEdit(node);
    } else if (chosen == create) {
        emit NewFolderRequested();
    }
}

void TsShellTreeView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5 && state() != QAbstractItemView::EditingState) {
        Refresh(SelectedNode());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

} // namespace pardova
