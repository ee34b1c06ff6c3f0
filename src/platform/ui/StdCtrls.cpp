#include "platform/ui/StdCtrls.h"

#include "platform/ui/Application.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>

namespace pardova::platform {

TsButton::TsButton(QWidget* parent) : QPushButton(parent) {
    setAutoDefault(false);
    setDefault(false);
    connect(this, &QPushButton::clicked, this, [this] { Application->Guard(this, [this] { Click(); }); });
}

void TsButton::keyPressEvent(QKeyEvent* event) {
    // A focused push button takes Enter as well as Space, also when it is not the window's default button.
    const auto key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !event->isAutoRepeat()) {
        event->accept();
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void TsButton::Click() {
    auto handler = OnClick;
    if (handler) {
        handler(this);
    }
}

TsCheckBox::TsCheckBox(QWidget* parent) : QCheckBox(parent) {}

TsMemo::TsMemo(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(false);
    // A plain memo hands Tab to the window's focus order instead of typing it.
    setTabChangesFocus(true);
}

void TsMemo::SetLines(const QStringList& lines) { setPlainText(lines.join(QLatin1Char('\n'))); }

QStringList TsMemo::Lines() const { return toPlainText().split(QLatin1Char('\n')); }

void TsMemo::SetCentered(bool centered) {
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(centered ? Qt::AlignHCenter : Qt::AlignLeft);
    cursor.mergeBlockFormat(format);
}

TsStatusBar::TsStatusBar(QWidget* parent) : QWidget(parent) {}

void TsStatusBar::SetPanelWidths(const std::vector<int>& widths) {
    for (QLabel* panel : FPanels) {
        delete panel;
    }
    FPanels.clear();
    FWidths = widths;
    for (size_t i = 0; i < widths.size(); ++i) {
        auto* panel = new QLabel(this);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        FPanels.push_back(panel);
    }
    ArrangePanels();
}

void TsStatusBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangePanels();
}

void TsStatusBar::ArrangePanels() {
    int left = 0;
    for (size_t i = 0; i < FPanels.size(); ++i) {
        FPanels[i]->setGeometry(left, 2, FWidths[i], std::max(0, height() - 2));
        left += FWidths[i] + 2;
    }
}

} // namespace pardova::platform
