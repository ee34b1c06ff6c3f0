#pragma once
// The synchronisation run: checks folder A, creates folder B when missing, checks the program file when it
// is to be started, mirrors A into B and starts the program. Failures are raised as exceptions whose
// message the application shows in its error box.

#include "log/core/LogSink.h"
#include "platform/core/FileSystem.h"

#include <functional>
#include <string>

namespace pardova {

// StartFlag tells whether the program is to be started; it is read twice, before the mirror and after it,
// and each reading acts at its point. Raises Exception "Папка не найдена\r" + A when A is no folder and
// "Файл не найден\r" + ProgramPath when the program is to be started and is no file; lets the exceptions of
// MakeFolderPath and of the event log through. Works on the native file system and writes to the program's
// log.
void DoSync(const std::string& A, const std::string& B, const std::string& ProgramPath,
            const std::function<bool()>& StartFlag);

// DoSync on the given file system and log, giving how many entries of the mirror failed (see
// SyncFolderCounting).
int DoSyncCounting(platform::FileSystem& Fs, LogSink& Log, const std::string& A, const std::string& B,
                   const std::string& ProgramPath, const std::function<bool()>& StartFlag);

// How many entries failed in the last run that ended normally (0 before any run); a run that raised leaves
// it at 0.
int LastSyncFailures();

// Opens the file through the shell in its own folder, with an empty parameter text; the outcome is not
// examined.
void RunProgram(const std::string& FileName);

} // namespace pardova
