#include "controls/ui/ComboEdit.h"

#include "platform/ui/Application.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>

namespace pardova {

TsCustomComboEdit::TsCustomComboEdit(QWidget* parent)
    : TsMaskEdit(parent), FGlyphMode(new TsGlyphMode(this)), FButton(new TsEditButton(this, FGlyphMode, &FDefBmpID)) {
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
        platform::Application->HandleException(this);
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

} // namespace pardova
