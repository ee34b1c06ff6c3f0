#include "controls/ui/MaskEdit.h"

#include "platform/ui/Application.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QRegularExpression>

namespace pardova {

// ---- errors from user actions ------------------------------------------------------------------------

namespace {

void ShowInFailureBox(const std::exception&, QWidget* origin) { platform::Application->HandleException(origin); }

QString CutAtLineBreak(QString text) {
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (end >= 0) {
        text.truncate(end);
    }
    return text;
}

} // namespace

platform::OverridePoint<ControlExceptionHandler> TheControlExceptionHandler{&ShowInFailureBox};

void HandleControlException(const std::exception& error, QWidget* origin) {
    TheControlExceptionHandler.Get()(error, origin);
}

// ---- mask edit ---------------------------------------------------------------------------------------

TsMaskEdit::TsMaskEdit(QWidget* parent) : QLineEdit(parent), FBoundLabel(new TsBoundLabel(this)) {
    // A drop would insert text past MaxLength and past the typing rules; the fields take no drops.
    setAcceptDrops(false);
}

TsMaskEdit::~TsMaskEdit() {
    // The label lives on the parent; remove it while this field is still whole.
    delete FBoundLabel;
    FBoundLabel = nullptr;
}

void TsMaskEdit::SetText(const QString& value) { setText(value); }

void TsMaskEdit::SetMaxLength(int value) { FMaxLength = value < 0 ? 0 : value; }

void TsMaskEdit::SetEditMask(const QString& value) {
    FEditMask = value;
    setInputMask(value);
}

bool TsMaskEdit::CanType() const { return true; }

void TsMaskEdit::UpdateReadOnly() { setReadOnly(!CanType()); }

void TsMaskEdit::InsertLimited(QString value) {
    if (!CanType() || isReadOnly() || value.isEmpty()) {
        return;
    }
    if (FMaxLength > 0) {
        const qsizetype room = FMaxLength - (text().size() - selectedText().size());
        if (room <= 0) {
            return;
        }
        if (value.size() > room) {
            qsizetype keep = room;
            // Never split a surrogate pair.
            if (value.at(keep - 1).isHighSurrogate()) {
                --keep;
            }
            value.truncate(keep);
            if (value.isEmpty()) {
                return;
            }
        }
    }
    insert(value);
}

void TsMaskEdit::PasteLimited() {
    // A one-line field takes the first line of what was copied (a path copied with its line end pastes
    // cleanly).
    InsertLimited(CutAtLineBreak(QGuiApplication::clipboard()->text()));
}

void TsMaskEdit::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        PasteLimited();
        event->accept();
        return;
    }
    const QString typed = event->text();
    const bool printable =
        !typed.isEmpty() && typed.at(0).isPrint() && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (printable && FMaxLength > 0 && CanType()) {
        const qsizetype room = FMaxLength - (text().size() - selectedText().size());
        if (typed.size() > room) {
            InsertLimited(typed);
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void TsMaskEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    if (FMaxLength > 0 && !commit.isEmpty()) {
        const qsizetype room = FMaxLength - (text().size() - selectedText().size());
        if (commit.size() > room) {
            QString kept = commit.left(room > 0 ? room : 0);
            if (!kept.isEmpty() && kept.back().isHighSurrogate()) {
                kept.chop(1);
            }
            QInputMethodEvent limited(event->preeditString(), event->attributes());
            limited.setCommitString(kept, event->replacementStart(), event->replacementLength());
            QLineEdit::inputMethodEvent(&limited);
            event->accept();
            return;
        }
    }
    QLineEdit::inputMethodEvent(event);
}

void TsMaskEdit::mouseReleaseEvent(QMouseEvent* event) {
    // The selection clipboard's middle-click paste is a paste like any other.
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        InsertLimited(CutAtLineBreak(QGuiApplication::clipboard()->text(QClipboard::Selection)));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TsMaskEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    if (QAction* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        QObject::disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this, &TsMaskEdit::PasteLimited);
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void TsMaskEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Without an edit mask there is nothing to check: a path is never refused here.
    if (!FCheckOnExit || FEditMask.isEmpty() || !isModified() || hasAcceptableInput()) {
        return;
    }
    if (OnValidateError) {
        OnValidateError(this);
    }
    QMetaObject::invokeMethod(
        this, [this] { setFocus(Qt::OtherFocusReason); }, Qt::QueuedConnection);
}

} // namespace pardova
