#pragma once
// The folder mirror: makes folder Dest hold everything folder Source holds, one way, never deleting.

#include <cstdint>
#include <string>

namespace pardova {

// Walks Source depth first in the platform's order, logging every entry's source path; recreates each
// sub-folder in Dest and copies each file that Dest lacks or that differs in last-write time or size
// ("  копирую -> " + destination). Failures to create or copy pass in silence; only the event log's
// exceptions leave it. What it writes stays below Dest: below Dest it never enters or writes through a link,
// never writes into a folder that is one of the source folders on its path, and never writes an existing
// file's data (a replaced file is written under a temporary name and renamed over it). Dest itself, met
// among Source's entries under any name, is passed over, and a linked folder that leads back onto the
// walk's own path is not entered again.
void SyncFolder(const std::string& Source, const std::string& Dest);

// True only when both files' last-write times can be read and are equal to the 100 nanoseconds.
bool SameWriteTime(const std::string& FileA, const std::string& FileB);

// The file's 64-bit size, or -1 when it cannot be read.
int64_t GetFileSize64(const std::string& FileName);

} // namespace pardova
