#pragma once
// The application object: the program's title, its forms, the one place where an exception that reaches
// a window handler is shown, and the end of the process (normal or at once with an exit code).

#include "platform/core/ApplicationTexts.h"
#include "platform/core/Override.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QObject;

namespace pardova::platform {

class TForm;

// Whether someone answers the failure boxes where no user can see them. No one does in the program: there
// such a failure is reported instead of shown. Tests that answer the boxes themselves point it to true.
extern OverridePoint<bool> TheFailureBoxesAreAnswered;

class TApplication {
public:
    TApplication() = default;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Before the toolkit starts. A silent run needs no display: where there is none, the toolkit runs on its
    // display-less platform, and in a silent run the toolkit's own diagnostics never reach standard error.
    // False when an interactive start has no display to show its window on; a line on standard error has
    // then said so, and the program ends with a non-zero code.
    bool PrepareWindowSystem(bool silent);

    // After the toolkit has started. In a silent run that no user can see (no display, a display-less
    // platform, or on Windows a window station that is not visible), a failure is not shown in a box that
    // would wait for ever: its text goes to ReportUnattendedFailure and the process ends through the
    // normal shutdown with exit code 1.
    void Initialize();

    // Whether the toolkit's screens are the user's monitors. They are not in a silent run on a display-less
    // platform: its one screen is of the platform's own making, and a window's saved place is kept as it
    // is rather than brought onto that screen (the settings file would otherwise get the moved place back).
    bool ScreensAreMonitors() const { return FScreensAreMonitors; }

    // The main window carries the taskbar button. With Qt every window without a parent is a top-level
    // window of its own, so the main window already does; the flag is kept for the start-up sequence.
    bool MainFormOnTaskBar = false;

    // The executable's file name made into a title, unless set.
    std::string Title() const;
    void SetTitle(std::string title);

    // The command-line arguments after the program itself; main() sets them from the process.
    const std::vector<std::string>& Arguments() const { return FArguments; }
    void SetArguments(std::vector<std::string> arguments) { FArguments = std::move(arguments); }
    // The argument at index (1 = first after the program), empty when there is none.
    std::string ParamStr(size_t index) const;

    TForm* MainForm() const { return FMainForm; }

    // Creates a form of class T, runs its Loaded step and OnCreate, and creates its window, still hidden.
    // The first form created this way becomes the main form.
    template <class T> void CreateForm(T*& reference);

    // Shows the main form and runs the message loop until the main form closes; then the normal shutdown:
    // every form is destroyed (OnDestroy runs) and the finalisers run. Gives the exit code, 0. In a silent
    // run that nobody can see (Initialize) the main form is not shown: only its OnShow runs (ShowUnseen).
    int Run();

    // Ends the process at once with the exit code through the normal shutdown: the forms are destroyed,
    // then the finalisers run, then the process exits (with code 1 instead when a failure that nobody could
    // answer was reported on the way). Safe to call from inside a form's event handler: it never returns.
    [[noreturn]] void Halt(int exitCode);

    // Destroys every form, the last created first.
    void DestroyForms();

    // Shows the exception being handled (call it inside a catch block) in the failure box. Sender is the
    // object whose handler raised it.
    void HandleException(QObject* Sender);

    // The failure box: modal, the text through ErrorBoxText (a "." appended after a final character above
    // "."), the title as caption, the error icon and
    // one OK button.
    void ShowException(const std::string& message);

    // Runs an event handler; whatever it raises goes to HandleException. For handlers called from Qt,
    // which must never see an exception.
    template <class F> void Guard(QObject* Sender, F&& handler) {
        try {
            handler();
        } catch (...) {
            HandleException(Sender);
        }
    }

    // Bookkeeping of TForm.
    void AddForm(TForm* form);
    void RemoveForm(TForm* form);

private:
    void AfterFormCreated(TForm* form);

    std::string FTitle;
    std::vector<std::string> FArguments;
    bool FSilent = false;
    bool FUserCanSee = true;
    bool FNobodyToAnswer = false;
    bool FScreensAreMonitors = true;
    bool FHalting = false;
    bool FFailedUnattended = false;
    std::vector<TForm*> FForms;
    TForm* FMainForm = nullptr;
};

// The one application object of the process; it exists from start to exit.
extern TApplication* const Application;

} // namespace pardova::platform

#include "platform/ui/Forms.h"

namespace pardova::platform {

template <class T> void TApplication::CreateForm(T*& reference) {
    T* form = new T();
    reference = form;
    AfterFormCreated(form);
}

} // namespace pardova::platform
