// Built only into the end-to-end suites' own build of the program (pardova_closing_when_idle), never into
// the shipped one: once the main window stands open and idle, it is closed as a user would close it.
// Offscreen, nothing outside the program can close its window. A window that never becomes idle (a
// failure box waiting for a user) is never closed, and the suites' guard ends the run.

#include "app/ui/fMain.h"

#include <QApplication>
#include <QTimer>

namespace {

void CloseWhenIdle() {
    // Started from the event loop: the application object is still being set up here.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            auto* timer = new QTimer(QCoreApplication::instance());
            timer->setInterval(10);
            QObject::connect(timer, &QTimer::timeout, [timer] {
                if (pardova::MainForm != nullptr && pardova::MainForm->isVisible() &&
                    QApplication::activeModalWidget() == nullptr) {
                    timer->stop();
                    pardova::MainForm->close();
                }
            });
            timer->start();
        },
        Qt::QueuedConnection);
}

} // namespace

// Runs as the application object is created, before main() creates any window.
Q_COREAPP_STARTUP_FUNCTION(CloseWhenIdle)
