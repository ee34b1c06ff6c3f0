#pragma once
// The small file-system routines that the synchronisation run, the mirror and the main window share, and
// the run log routine. Paths are used as given; relative ones resolve against the current folder.

#include "log/core/LogSink.h"
#include "platform/core/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pardova {

// Each routine that reads the file system works on the one it is given; the forms without one use Fs().

// Whether the path names an existing folder. A failed attribute read means "no folder" for a missing file
// or path, a bad network path and an invalid name, and "a folder" for any other error (the folder may be
// there but unreadable). A link counts only when its target opens.
bool FolderExists(platform::FileSystem& Fs, const std::string& Path);
bool FolderExists(const std::string& Path);

// Whether the path names an existing file (a folder never counts). A link counts when its target opens
// for reading or is held open by someone who refuses to share it.
bool PlainFileExists(platform::FileSystem& Fs, const std::string& Path);
bool PlainFileExists(const std::string& Path);

// Creates the folder with every missing parent. True when the folder is there afterwards as far as this
// routine can tell; failures raise nothing. An empty path raises EInOutError "Unable to create directory".
bool MakeFolderPath(platform::FileSystem& Fs, const std::string& Path);
bool MakeFolderPath(const std::string& Path);

// The full path against the current folder; empty when that fails (an empty path included).
std::string ExpandPath(platform::FileSystem& Fs, const std::string& Path);
std::string ExpandPath(const std::string& Path);

// The running executable's folder, with its final separator.
std::string GetAppDir();

// Writes one Info line to the log named "log": the text alone when Value is the largest 32-bit value,
// else the text, " : " and the value. Errors of the event log pass through.
void AddToLog(const std::string& Text, int32_t Value = 2147483647);

// The program's run log as a sink: each line through AddToLog.
LogSink& RunLog();

} // namespace pardova
