#pragma once
// The one-line edit under every field, and where the errors of a browse the user started go.

#include "controls/ui/BoundLabel.h"
#include "platform/core/Override.h"

#include <QLineEdit>
#include <QObject>
#include <QString>

#include <exception>
#include <functional>

namespace pardova {

// Receives every error raised by a browse that the user started (button, key), inside the catch block.
// The program's handler hands it to the application's failure box; tests put theirs in place to collect
// the errors. HandleControlException calls the handler in place.
using ControlExceptionHandler = std::function<void(const std::exception& error, QWidget* origin)>;
extern platform::OverridePoint<ControlExceptionHandler> TheControlExceptionHandler;
void HandleControlException(const std::exception& error, QWidget* origin);

// A one-line edit. MaxLength limits what the user types or pastes, never a text set by the program.
class TsMaskEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(bool CheckOnExit READ CheckOnExit WRITE SetCheckOnExit)
    Q_PROPERTY(QString EditMask READ EditMask WRITE SetEditMask)
public:
    explicit TsMaskEdit(QWidget* parent = nullptr);
    ~TsMaskEdit() override;

    QString Text() const { return text(); }
    void SetText(const QString& value);
    // 0 means no limit.
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    bool CheckOnExit() const { return FCheckOnExit; }
    void SetCheckOnExit(bool value) { FCheckOnExit = value; }
    QString EditMask() const { return FEditMask; }
    void SetEditMask(const QString& value);
    TsBoundLabel* BoundLabel() const { return FBoundLabel; }

    // Called when the text fails the edit mask as the focus leaves; the focus then stays.
    std::function<void(QObject* sender)> OnValidateError;

    // Inserts as much of the text as MaxLength leaves room for, replacing the selection, as typing or
    // pasting would; nothing while the user may not type.
    void InsertLimited(QString text);
    // Pastes the clipboard's text, cut at its first line break and at MaxLength.
    void PasteLimited();
    // Whether the user may change the text by typing, pasting or cutting.
    virtual bool CanType() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Applies CanType() to the edit.
    void UpdateReadOnly();

private:
    int FMaxLength = 0;
    bool FCheckOnExit = true;
    QString FEditMask;
    TsBoundLabel* FBoundLabel;
};

} // namespace pardova
