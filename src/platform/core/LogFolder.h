#pragma once
// A log's folder held open while its lines follow one another, and the log's live file held open in it
// between lines. Each line takes the file's write lock again, checks by one look at the folder's entry that
// the log's name still leads to the held file, appends in one write and releases the lock, so that every
// other program sees what it sees of a file that is opened for each line and closed after it: another
// writer is refused only while a line is written, and a file renamed, deleted or replaced between two lines
// is left for a new one at the path. Only where the platform lets others rename, delete and replace a file
// that is held open; elsewhere the log opens its file by its path for every line.

#include "platform/core/Override.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace pardova::platform {

// The live file of a log, held open between lines. It lives no longer than the folder that opened it.
class HeldLogFile {
public:
    virtual ~HeldLogFile() = default;
    // Takes the file's write lock for one line, without waiting. Raises EFOpenError as a refused open of the
    // file does (its full path, the platform's code and text) when another writer holds the file.
    virtual void Lock() = 0;
    // Releases the write lock; the file stays open.
    virtual void Unlock() = 0;
    // The file's length when the log's name in its folder still leads to this file (links followed), or -1
    // when it leads to another file or to none.
    virtual int64_t LengthIfStillNamed() = 0;
    // Appends the bytes at the file's end in one write; the count written (less on failure).
    virtual size_t Append(const void* data, size_t count) = 0;
};

class LogFolder {
public:
    virtual ~LogFolder() = default;
    // Opens the file `name` of this folder (full path `path`) for reading and writing, others only reading,
    // as OpenStream(path, OpenReadWriteDenyWrite) does and with its refusals, the write lock taken. *length
    // receives the file's length.
    virtual std::unique_ptr<HeldLogFile> OpenFile(const std::string& name, const std::string& path,
                                                  int64_t* length) = 0;
    // When the folder's entries last changed (an entry made, renamed or removed), or nullopt when that cannot
    // be read. Equal values at two moments mean that no entry changed in between, provided that the first
    // came from SettledChangeTime.
    virtual std::optional<uint64_t> ChangeTime() = 0;
    // ChangeTime, when it lies far enough in the past that any later change gives another value; nullopt
    // while the last change is too recent to tell (the file system keeps its times in coarse steps).
    virtual std::optional<uint64_t> SettledChangeTime() = 0;
};

// Whether a log may hold its file between lines here: the platform's own file system is in use (a
// replacement must see every call on full paths) and the platform lets others rename, delete and replace an
// open file.
bool LogFilesMayBeHeld();
// The folder `folder` (with or without its trailing delimiter) held open; null when it does not open, or
// when LogFilesMayBeHeld is false, or when the path is one that the platform's own calls read otherwise than
// the kernel (a "." or ".." component). Opened by TheLogFolderOpener.
std::unique_ptr<LogFolder> OpenLogFolder(const std::string& folder);
// The platform's own opening of a log folder, behind OpenLogFolder unless a test watches it.
std::unique_ptr<LogFolder> OpenNativeLogFolder(const std::string& folder);
using LogFolderOpener = std::unique_ptr<LogFolder> (*)(const std::string& folder);
extern OverridePoint<LogFolderOpener> TheLogFolderOpener;

} // namespace pardova::platform
