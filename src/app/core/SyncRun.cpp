#include "app/core/SyncRun.h"

#include "app/core/FileRoutines.h"
#include "app/core/Mirror.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"
#include "platform/core/Shell.h"

namespace pardova {

namespace {
int gLastFailures = 0;
} // namespace

void DoSync(const std::string& A, const std::string& B, const std::string& ProgramPath,
            const std::function<bool()>& StartFlag) {
    (void)DoSyncCounting(platform::NativeFs(), RunLog(), A, B, ProgramPath, StartFlag);
}

int LastSyncFailures() { return gLastFailures; }

int DoSyncCounting(platform::FileSystem& Fs, LogSink& Log, const std::string& A, const std::string& B,
                   const std::string& ProgramPath, const std::function<bool()>& StartFlag) {
    gLastFailures = 0;
    if (!FolderExists(Fs, A)) {
        throw platform::Exception("Папка не найдена\r" + A);
    }
    if (!FolderExists(Fs, B)) {
        Log.Write("Папка не найдена, создаю " + platform::PathForLog(B));
        // Expanded first: a relative B of one missing component has no parent to create it under.
        MakeFolderPath(Fs, ExpandPath(Fs, B));
    }
    if (StartFlag() && !PlainFileExists(Fs, ProgramPath)) {
        throw platform::Exception("Файл не найден\r" + ProgramPath);
    }
    const int failures = SyncFolderCounting(Fs, Log, A, B);
    if (StartFlag()) {
        Log.Write("Запускаю " + platform::PathForLog(ProgramPath));
        RunProgram(ProgramPath);
    }
    gLastFailures = failures;
    return failures;
}

void RunProgram(const std::string& FileName) { platform::ShellOpen(FileName, platform::FolderPart(FileName)); }

} // namespace pardova
