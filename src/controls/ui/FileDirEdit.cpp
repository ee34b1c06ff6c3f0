#include "controls/ui/FileDirEdit.h"

#include "platform/ui/Application.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QRegularExpression>
#include <QStyle>

#include <utility>

namespace pardova {

// ---- glyph mode --------------------------------------------------------------------------------------

TsGlyphMode::TsGlyphMode(QObject* parent) : QObject(parent) {}

void TsGlyphMode::SetImages(const QList<QPixmap>& images) {
    FImages = images;
    emit Changed();
}

void TsGlyphMode::SetImageIndex(int value) {
    FImageIndex = value;
    emit Changed();
}

void TsGlyphMode::SetImageIndexHot(int value) {
    FImageIndexHot = value;
    emit Changed();
}

void TsGlyphMode::SetImageIndexPressed(int value) {
    FImageIndexPressed = value;
    emit Changed();
}

void TsGlyphMode::SetBlend(int value) {
    FBlend = qBound(0, value, 100);
    emit Changed();
}

void TsGlyphMode::SetGrayed(bool value) {
    FGrayed = value;
    emit Changed();
}

// ---- button ------------------------------------------------------------------------------------------

TsEditButton::TsEditButton(QWidget* parent, TsGlyphMode* glyphMode, const int* defBmpID)
    : QAbstractButton(parent), FGlyphMode(glyphMode), FDefBmpID(defBmpID) {
    setObjectName(QStringLiteral("Button"));
    setFocusPolicy(Qt::NoFocus);
    // The edit shows a text cursor; over the button the user should see that it is a button.
    setCursor(Qt::ArrowCursor);
    connect(glyphMode, &TsGlyphMode::Changed, this, [this] { update(); });
}

bool TsEditButton::IsHot() const { return FHover || isDown(); }

QPixmap TsEditButton::CurrentGlyph() const {
    const QList<QPixmap>& images = FGlyphMode->Images();
    auto valid = [&images](int index) { return index >= 0 && index < images.size(); };
    if (valid(FGlyphMode->ImageIndex())) {
        int index = FGlyphMode->ImageIndex();
        if (isDown() && valid(FGlyphMode->ImageIndexPressed())) {
            index = FGlyphMode->ImageIndexPressed();
        } else if (IsHot() && valid(FGlyphMode->ImageIndexHot())) {
            index = FGlyphMode->ImageIndexHot();
        }
        return images[index];
    }
    const QList<QPixmap>& builtIn = BuiltInGlyphs();
    const int index = *FDefBmpID * 2 + (IsHot() ? 1 : 0);
    return index >= 0 && index < builtIn.size() ? builtIn[index] : QPixmap();
}

int TsEditButton::GlyphWidth() const {
    const QList<QPixmap>& images = FGlyphMode->Images();
    const int index = FGlyphMode->ImageIndex();
    if (index >= 0 && index < images.size()) {
        return images[index].width();
    }
    const int builtIn = *FDefBmpID * 2;
    return builtIn >= 0 && builtIn < BuiltInGlyphs().size() ? kGlyphSize : 0;
}

QSize TsEditButton::sizeHint() const { return QSize(GlyphWidth() + 4, kGlyphSize + 2); }

void TsEditButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (IsHot() && isEnabled()) {
        p.setPen(palette().color(QPalette::Highlight));
        p.setBrush(palette().color(QPalette::Highlight).lighter(isDown() ? 150 : 185));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    QPixmap glyph = CurrentGlyph();
    if (glyph.isNull()) {
        return;
    }
    if (!IsHot() && FGlyphMode->Grayed()) {
        QImage grey = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < grey.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
            for (int x = 0; x < grey.width(); ++x) {
                const int g = qGray(line[x]);
                line[x] = qRgba(g, g, g, qAlpha(line[x]));
            }
        }
        glyph = QPixmap::fromImage(grey);
    }
    if (!isEnabled()) {
        p.setOpacity(0.4);
    } else if (!IsHot() && FGlyphMode->Blend() > 0) {
        p.setOpacity(1.0 - FGlyphMode->Blend() / 100.0);
    }
    const int shift = isDown() ? 1 : 0;
    const QPoint at((width() - glyph.width()) / 2 + shift, (height() - glyph.height()) / 2 + shift);
    p.drawPixmap(at, glyph);
}

void TsEditButton::enterEvent(QEnterEvent* event) {
    FHover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TsEditButton::leaveEvent(QEvent* event) {
    FHover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

// ---- errors from user actions ------------------------------------------------------------------------

namespace {

ControlExceptionHandler& CurrentHandler() {
    static ControlExceptionHandler handler;
    return handler;
}

QString CutAtLineBreak(QString text) {
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (end >= 0) {
        text.truncate(end);
    }
    return text;
}

} // namespace

ControlExceptionHandler SetControlExceptionHandler(ControlExceptionHandler handler) {
    return std::exchange(CurrentHandler(), std::move(handler));
}

void HandleControlException(const std::exception& error, QWidget* origin) {
    if (CurrentHandler()) {
        CurrentHandler()(error, origin);
        return;
    }
    Application->HandleException(origin);
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
    const bool printable = !typed.isEmpty() && typed.at(0).isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
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
    QMetaObject::invokeMethod(this, [this] { setFocus(Qt::OtherFocusReason); }, Qt::QueuedConnection);
}

// ---- combo edit --------------------------------------------------------------------------------------

TsCustomComboEdit::TsCustomComboEdit(QWidget* parent)
    : TsMaskEdit(parent), FGlyphMode(new TsGlyphMode(this)),
      FButton(new TsEditButton(this, FGlyphMode, &FDefBmpID)) {
    resize(width(), 21);
    connect(FButton, &QAbstractButton::clicked, this, &TsCustomComboEdit::ClickFromUser);
    connect(FGlyphMode, &TsGlyphMode::Changed, this, &TsCustomComboEdit::LayoutButton);
    UpdateReadOnly();
    LayoutButton();
}

void TsCustomComboEdit::SetDirectInput(bool value) {
    FDirectInput = value;
    UpdateReadOnly();
}

void TsCustomComboEdit::SetReadOnly(bool value) {
    FReadOnly = value;
    UpdateReadOnly();
}

void TsCustomComboEdit::SetShowButton(bool value) {
    FShowButton = value;
    LayoutButton();
}

bool TsCustomComboEdit::CanType() const { return FDirectInput && !FReadOnly; }

void TsCustomComboEdit::BrowseClick() {
    if (OnButtonClick) {
        OnButtonClick(this);
    }
}

void TsCustomComboEdit::DoClick() {
    if (!FReadOnly) {
        BrowseClick();
    }
}

void TsCustomComboEdit::SelectAll() {
    if (!text().isEmpty()) {
        selectAll();
    }
}

void TsCustomComboEdit::ClickFromUser() {
    try {
        DoClick();
    } catch (const std::exception& error) {
        HandleControlException(error, this);
    } catch (...) {
        Application->HandleException(this);
    }
}

void TsCustomComboEdit::keyPressEvent(QKeyEvent* event) {
    const QKeyCombination pressed(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key()));
    if (FClickKey.count() == 1 && pressed == FClickKey[0] && FShowButton && FButton->GlyphWidth() > 0) {
        event->accept();
        if (!FReadOnly) {
            ClickFromUser();
        }
        return;
    }
    if (pressed == QKeyCombination(Qt::ControlModifier, Qt::Key_A)) {
        SelectAll();
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // The window gets them first (a default or cancel button); the edit has no use for them.
        event->ignore();
        return;
    default:
        break;
    }
    TsMaskEdit::keyPressEvent(event);
}

void TsCustomComboEdit::focusInEvent(QFocusEvent* event) {
    TsMaskEdit::focusInEvent(event);
    if (FAutoSelect) {
        SelectAll();
    }
}

void TsCustomComboEdit::resizeEvent(QResizeEvent* event) {
    TsMaskEdit::resizeEvent(event);
    LayoutButton();
}

void TsCustomComboEdit::changeEvent(QEvent* event) {
    TsMaskEdit::changeEvent(event);
    if (event->type() == QEvent::LayoutDirectionChange || event->type() == QEvent::StyleChange) {
        LayoutButton();
    }
}

void TsCustomComboEdit::LayoutButton() {
    const int glyphWidth = FButton->GlyphWidth();
    if (!FShowButton || glyphWidth <= 0) {
        FButton->hide();
        setTextMargins(0, 0, 0, 0);
        return;
    }
    const int frame = hasFrame() ? style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this) : 0;
    const int buttonWidth = glyphWidth + 4;
    const int buttonHeight = qMax(0, height() - 2 * frame);
    const int x = isRightToLeft() ? frame : width() - frame - buttonWidth;
    FButton->setGeometry(x, frame, buttonWidth, buttonHeight);
    FButton->show();
    // The text area ends where the button begins, on whichever side it sits.
    if (isRightToLeft()) {
        setTextMargins(buttonWidth, 0, 0, 0);
    } else {
        setTextMargins(0, 0, buttonWidth, 0);
    }
}

// ---- path field base ---------------------------------------------------------------------------------

TsFileDirEdit::TsFileDirEdit(QWidget* parent) : TsCustomComboEdit(parent) { SetMaxLength(255); }

bool TsFileDirEdit::BeginBrowse(QString& name, bool& action) {
    TsCustomComboEdit::BrowseClick();
    name = Text();
    action = true;
    if (OnBeforeDialog) {
        OnBeforeDialog(this, name, action);
    }
    return action;
}

} // namespace pardova
