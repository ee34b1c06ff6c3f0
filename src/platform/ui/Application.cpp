#include "platform/ui/Application.h"

#include "platform/core/Exceptions.h"
#include "platform/core/Path.h"
#include "platform/core/Process.h"
#include "platform/core/Session.h"
#include "platform/core/Shell.h"
#include "platform/core/Units.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>

#ifdef _WIN32
#include "win32/WindowSystem.inc"
#else
#include "posix/WindowSystem.inc"
#endif

namespace pardova::platform {

namespace {

TApplication TheApplication;

// A silent run prints nothing when it succeeds: the toolkit's warnings (a missing runtime folder, fonts,
// the display-less platform) stay off standard error. A fatal one still says why the process ends.
void QuietMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        const QByteArray text = message.toLocal8Bit();
        std::fprintf(stderr, "%s\n", text.constData());
    }
}

bool IsDisplaylessPlatform() {
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

} // namespace

TApplication* const Application = &TheApplication;

OverridePoint<bool> TheFailureBoxesAreAnswered{false};

bool TApplication::PrepareWindowSystem(bool silent) {
    FSilent = silent;
    if (silent) {
        qInstallMessageHandler(QuietMessageHandler);
    }
    return PrepareNativeWindowSystem(silent, FUserCanSee);
}

void TApplication::Initialize() {
    NativeWindowSystemStarted();
    FScreensAreMonitors = !(FSilent && IsDisplaylessPlatform());
    FNobodyToAnswer = FSilent && (!FUserCanSee || IsDisplaylessPlatform());
    // The main form ends the message loop when it closes; a message box or dialog that closes while the
    // main form is hidden (a failed silent run) must not.
    QApplication::setQuitOnLastWindowClosed(false);
}

std::string TApplication::Title() const {
    if (!FTitle.empty() || QCoreApplication::instance() == nullptr) {
        return FTitle;
    }
    return ApplicationTitleFromFileName(QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString());
}

void TApplication::SetTitle(std::string title) { FTitle = std::move(title); }

std::string TApplication::ParamStr(size_t index) const {
    if (index == 0 || index > FArguments.size()) {
        return {};
    }
    return FArguments[index - 1];
}

void TApplication::AfterFormCreated(TForm* form) {
    form->AfterConstruction();
    if (FMainForm == nullptr) {
        FMainForm = form;
    }
    // The platform window exists from here on, hidden until the form is shown. The main form's window owns
    // what the shell starts for the program.
    const WId window = form->winId();
    if (FMainForm == form) {
        platform::ShellOwnerWindow.store(reinterpret_cast<void*>(window));
    }
}

int TApplication::Run() {
    if (FMainForm != nullptr) {
        if (FNobodyToAnswer && !TheFailureBoxesAreAnswered.Get()) {
            // A silent run that nobody can see ends in the main form's OnShow, with its pass or with the
            // failure it reports; its window would never be seen. Should OnShow return all the same, the
            // form ends as a closed one does.
            FMainForm->ShowUnseen();
        } else {
            FMainForm->show();
            if (FMainForm->isVisible()) {
                QApplication::exec();
            }
        }
    }
    DestroyForms();
    RunFinalizers();
    return 0;
}

void TApplication::Halt(int exitCode) {
    FHalting = true;
    DestroyForms();
    RunFinalizers();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // Nothing of the program is left to tear down, and Qt's own process-wide objects must not be torn
    // down under a caller that never returns: the process ends here.
    std::_Exit(FFailedUnattended ? 1 : exitCode);
}

void TApplication::DestroyForms() {
    while (!FForms.empty()) {
        FForms.back()->Free();
    }
}

void TApplication::AddForm(TForm* form) { FForms.push_back(form); }

void TApplication::RemoveForm(TForm* form) {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    if (FMainForm == form) {
        FMainForm = nullptr;
        platform::ShellOwnerWindow.store(nullptr);
    }
}

void TApplication::HandleException(QObject*) {
    const std::exception_ptr current = std::current_exception();
    if (!current) {
        return;
    }
    std::string message;
    try {
        std::rethrow_exception(current);
    } catch (const Exception& e) {
        message = e.Message();
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown exception";
    }
    ShowException(message);
}

void TApplication::ShowException(const std::string& message) {
    if (FNobodyToAnswer && !TheFailureBoxesAreAnswered.Get()) {
        platform::ReportUnattendedFailure(Title(), ErrorBoxText(message));
        FFailedUnattended = true;
        // A failure while the process is ending already (saving the settings, the closing line) only
        // changes the exit code; the shutdown goes on.
        if (!FHalting) {
            Halt(1);
        }
        return;
    }
    ShowPlatformErrorBox(QString::fromStdString(Title()), QString::fromStdString(ErrorBoxText(message)));
}

} // namespace pardova::platform
