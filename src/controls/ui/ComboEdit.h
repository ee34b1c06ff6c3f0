#pragma once
// A one-line edit with a button inside its end that browses for a value.

#include "controls/ui/EditButton.h"
#include "controls/ui/MaskEdit.h"

#include <QKeySequence>
#include <QObject>

#include <functional>

namespace pardova {

// A TsMaskEdit with a button inside it that browses for a value.
class TsCustomComboEdit : public TsMaskEdit {
    Q_OBJECT
    Q_PROPERTY(QKeySequence ClickKey READ ClickKey WRITE SetClickKey)
    Q_PROPERTY(bool DirectInput READ DirectInput WRITE SetDirectInput)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool ShowButton READ ShowButton WRITE SetShowButton)
    Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE SetAutoSelect)
public:
    explicit TsCustomComboEdit(QWidget* parent = nullptr);

    TsEditButton* Button() const { return FButton; }
    TsGlyphMode* GlyphMode() const { return FGlyphMode; }
    QKeySequence ClickKey() const { return FClickKey; }
    void SetClickKey(const QKeySequence& value) { FClickKey = value; }
    bool DirectInput() const { return FDirectInput; }
    void SetDirectInput(bool value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool ShowButton() const { return FShowButton; }
    void SetShowButton(bool value);
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool value) { FAutoSelect = value; }
    // Which built-in glyph the button shows when GlyphMode names no image.

    bool CanType() const override;

    // Fired first in every browse.
    std::function<void(QObject* sender)> OnButtonClick;

    // The browse; the folder and file fields replace it. May raise.
    virtual void BrowseClick();
    // What a click on the button does: BrowseClick unless ReadOnly. May raise.
    void DoClick();
    // Selects the whole text when there is any.
    void SelectAll();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Places the button inside the field's end and keeps the text clear of it.
    void LayoutButton();
    // DoClick with its errors sent to the control exception handler.
    void ClickFromUser();

    int FDefBmpID = 3;

private:
    TsGlyphMode* FGlyphMode;
    TsEditButton* FButton;
    QKeySequence FClickKey{Qt::ALT | Qt::Key_Down};
    bool FDirectInput = true;
    bool FReadOnly = false;
    bool FShowButton = true;
    bool FAutoSelect = true;
};

} // namespace pardova
