#pragma once
// The folder mirror: makes folder Dest hold everything folder Source holds, one way, never deleting.

#include "log/core/LogSink.h"
#include "platform/core/FileSystem.h"

#include <cstdint>
#include <string>

namespace pardova {

// Walks Source depth first in the platform's order, logging every entry's source path; recreates each
// sub-folder in Dest and copies each file that Dest lacks or that differs in last-write time or size
// ("  копирую -> " + destination). A copy or a sub-folder that fails gets one more line, "  ошибка: " and the
// reason, and the walk goes on; only the event log's exceptions leave it. A copy's data is on the disk before
// it gets its source's time or its place over an old version, and it is never more open than its source. What it writes
// stays below Dest: below Dest it never enters or writes through a link, never writes into a folder that is one of the
// source folders on its path, and never writes an existing file's data (a replaced file is written under a temporary
// name and renamed over it). Dest itself, met among Source's entries under any name, is passed over, and a linked
// folder that leads back onto the walk's own path is not entered again. Neither the depth of the tree nor the
// process's limit of open files bounds the walk: it keeps its own stack, and where it must let go of the
// folders it holds it opens them again by name below a folder it still holds, each checked to be the
// same folder (a folder put in another's place meanwhile is neither entered nor written into).
// Works on the native file system and writes to the program's log.
void SyncFolder(const std::string& Source, const std::string& Dest);

// SyncFolder on the given file system and log, giving how many entries failed: copies that did not happen
// (each followed in the log by "  ошибка: " and the system's text for the reason), sub-folders of Dest that
// could not be created, and folders of Source whose content could not be visited (not readable, or not
// to be opened again as themselves), each likewise followed by the reason.
int SyncFolderCounting(platform::FileSystem& Fs, LogSink& Log, const std::string& Source, const std::string& Dest);

// The quick check that lets the walk pass a file over: its copy has the source's last-write time, exactly
// as the platform keeps it, and the source's size. Contents are never compared.
bool CopyIsCurrent(const platform::FileAttributeData& Source, const platform::FileAttributeData& Copy);

// True only when both files' last-write times can be read and are equal to the 100 nanoseconds.
bool SameWriteTime(const std::string& FileA, const std::string& FileB);

// The file's 64-bit size, or -1 when it cannot be read.
int64_t GetFileSize64(const std::string& FileName);

} // namespace pardova
