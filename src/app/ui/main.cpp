// The program's start and end.

#include "app/core/FileRoutines.h"
#include "app/ui/ProgramIcon.h"
#include "app/ui/fMain.h"
#include "log/core/SimpleLog.h"
#include "platform/core/CommandLine.h"
#include "platform/core/Process.h"
#include "platform/core/Units.h"
#include "platform/ui/Application.h"
#include "platform/ui/Translations.h"

#include <QApplication>

int main(int argc, char** argv) {
    using namespace pardova;
    // A deep tree keeps one directory search open per level.
    platform::RaiseOpenFileLimit();
    platform::IgnoreFileSizeSignal();
    // Read before Qt takes its own options out of argv.
    auto arguments = platform::ProcessArguments(argc, argv);
    // A silent pass runs where no display is (cron, a system timer, ssh) and prints nothing when it works.
    const bool silent = TMainForm::IsSilentSwitch(arguments.empty() ? "" : arguments.front());
    if (!platform::Application->PrepareWindowSystem(silent)) {
        return 1;
    }
    QApplication qtApplication(argc, argv);
    // A silent run shows its window, and with it the icon, only after a failed pass (FormShow).
    if (!silent) {
        QApplication::setWindowIcon(ProgramIcon());
    }

    // The units, in order of initialisation; their clean-ups run in reverse order at exit, after the
    // windows are destroyed.
    // The event log: its registry is created on first use and freed last.
    platform::RegisterFinalizer(FreeSimpleLog);
    // The settings store, then the main window's unit: the INI storage manager with IniFileName
    // GetAppDir() + "settings.ini", installed as the default storage manager, its release registered here.
    InitializePropStorage();
    {
        auto* manager = new TIniPropStorageManEh();
        manager->SetIniFileName(GetAppDir() + "settings.ini");
        InstallDefaultStorageManager(manager);
    }

    platform::Application->Initialize();
    // The window's own texts are Russian; what the toolkit draws itself follows the user's language.
    platform::LoadToolkitTranslations();
    platform::Application->MainFormOnTaskBar = true;
    platform::Application->SetArguments(std::move(arguments));
    platform::Application->CreateForm(MainForm);
    return platform::Application->Run();
}
