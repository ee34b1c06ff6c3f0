#pragma once
// The plain controls of the program's windows. Their Qt class names are the names the settings store
// writes, and their published properties carry the names of the stored description.

#include "platform/ui/Forms.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QWidget>

#include <vector>

namespace pardova::platform {

// A push button whose click runs OnClick. A click by the user goes through the application's exception
// box; Click() called in code lets the handler's exception reach the caller.
class TsButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    explicit TsButton(QWidget* parent = nullptr);

    TNotifyEvent OnClick;
    void Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

public:
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
};

class TsCheckBox : public QCheckBox {
    Q_OBJECT
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
public:
    explicit TsCheckBox(QWidget* parent = nullptr);

    bool Checked() const { return isChecked(); }
    void SetChecked(bool checked) { setChecked(checked); }
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
};

// Plain text only; a QTextEdit rather than a plain-text edit because only it lays out centred lines.
class TsMemo : public QTextEdit {
    Q_OBJECT
public:
    explicit TsMemo(QWidget* parent = nullptr);

    // The lines, joined with line breaks; a centred memo centres every line.
    void SetLines(const QStringList& lines);
    QStringList Lines() const;
    void SetCentered(bool centered);
};

// A status bar of fixed-width panels, from the left; what they leave stays empty.
class TsStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit TsStatusBar(QWidget* parent = nullptr);

    void SetPanelWidths(const std::vector<int>& widths);
    int PanelCount() const { return static_cast<int>(FPanels.size()); }
    QLabel* Panel(int index) const { return FPanels.at(static_cast<size_t>(index)); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ArrangePanels();
    std::vector<QLabel*> FPanels;
    std::vector<int> FWidths;
};

} // namespace pardova::platform
