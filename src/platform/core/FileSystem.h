#pragma once
// The platform's file-system services, behind one narrow interface. Paths are UTF-8 text used exactly as
// given (relative paths resolve against the process's current folder). Attribute bits and error codes use
// the Windows numbering on every platform, so that the logic above this layer is written once.
//
// The walk and the run are given the file system they work on. The few other callers reach it through
// Fs(), the native one (NativeFs()) unless a test has put another in its place for a scope
// (ScopedOverride on FsOverride()).

#include "platform/core/FileStream.h"
#include "platform/core/Override.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace pardova::platform {

// Attribute bits.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrReparsePoint = 0x400;

// Error codes (Windows numbering). On POSIX one table (posix/PosixSupport.h) maps the errno values that
// the rules above this layer compare onto these codes (ENOENT 2, ENOTDIR 3, EACCES and EPERM 5, EBUSY and
// EWOULDBLOCK 32, EEXIST 183, ENOSPC 112, ENAMETOOLONG, ELOOP and EINVAL 123, ...); every other errno e
// keeps a code of its own, kErrErrnoBase | e, in the range that Windows leaves to applications (its
// "customer" bit), so that SysErrorMessage gives the platform's own text for it.
inline constexpr uint32_t kErrFileNotFound = 2;
inline constexpr uint32_t kErrPathNotFound = 3;
inline constexpr uint32_t kErrAccessDenied = 5;
inline constexpr uint32_t kErrNotSameDevice = 17;
inline constexpr uint32_t kErrWriteProtect = 19;
inline constexpr uint32_t kErrNotReady = 21;
inline constexpr uint32_t kErrSharingViolation = 32;
inline constexpr uint32_t kErrLockViolation = 33;
inline constexpr uint32_t kErrBadNetPath = 53;
inline constexpr uint32_t kErrFileExists = 80;
inline constexpr uint32_t kErrDiskFull = 112;
inline constexpr uint32_t kErrInvalidName = 123;
inline constexpr uint32_t kErrAlreadyExists = 183;
inline constexpr uint32_t kErrFileTooLarge = 223;
inline constexpr uint32_t kErrIoDevice = 1117;
inline constexpr uint32_t kErrDiskQuota = 1295;
inline constexpr uint32_t kErrErrnoBase = 0x20000000;
// A code that no platform call gives: what stands for "some other error" where one is made up.
inline constexpr uint32_t kErrOther = 0xFFFF;

// Whether a failed read of a path's attributes means that nothing is there: a missing file or path, a
// network path that does not exist, or a name the file system cannot hold. Any other failure (a refused
// access, say) leaves open that something is there.
bool IsNotThereError(uint32_t error);

// One entry of a directory search.
struct DirEntry {
    std::string Name;        // the long name
    uint32_t Attributes = 0; // kAttr* bits
};

// What makes a file or folder itself, whatever path leads to it: device and inode on POSIX, volume serial
// number and file index on Windows.
struct FileIdentity {
    uint64_t Volume = 0;
    uint64_t Index = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// A last-write time as the platform keeps it, so that two times compare exactly over the platform's whole
// range: seconds since 1970-01-01 UTC and nanoseconds on POSIX; on Windows Seconds is 0 and Fraction the
// platform's own 64-bit count of 100 ns since 1601.
struct ExactTime {
    int64_t Seconds = 0;
    uint64_t Fraction = 0;
    friend bool operator==(const ExactTime&, const ExactTime&) = default;
};

// Last-write time in 100-nanosecond units since 1601-01-01 UTC, and the size in bytes.
struct FileAttributeData {
    uint32_t Attributes = 0;
    // Clamped to the 64-bit count's range where the platform's own range is wider; compare WriteTime.
    uint64_t LastWriteTime = 0;
    uint64_t Size = 0;
    // The identity of what the path leads to, where the same read gives it for free; all zero otherwise.
    FileIdentity Identity;
    // The last-write time in the platform's own terms, compared exactly.
    ExactTime WriteTime;
    // POSIX permission bits, owner and group (links followed); 0 where the platform has none.
    uint32_t Mode = 0;
    uint32_t Owner = 0;
    uint32_t Group = 0;
};

// Copies whose data is written but not yet known to be on the disk. A copy handed to a batch gets its
// source's last-write time and its place over an old version only after a flush that began after its data
// was written, so that a power cut never leaves a copy that looks current with data that never reached the
// disk, nor a replaced file without its old version. Where the platform can, copies are flushed in groups
// (one flush of B's file system for each), and a group's flush runs while the next copies are written; the
// copies pending are bounded in files and bytes.
// Its owner asks for progress after each copy and finishes it at the end of a pass and before an exception
// leaves the pass.
class CopyBatch {
public:
    virtual ~CopyBatch() = default;
    virtual bool Empty() const = 0;
    // Gives the copies whose flush has ended their time and place, starts the flush of the copies written
    // since the last one began once they are enough for a group, and waits (for the flush under way, then
    // for one of its own) only while the copies pending exceed the bounds. Calls `failed(tag, error)` for each copy
    // that failed there (its partial data is removed), in the order the copies were added. Gives the tag of the oldest
    // copy still pending; nullopt when none is.
    virtual std::optional<uint64_t> Progress(const std::function<void(uint64_t tag, uint32_t error)>& failed) = 0;
    // Flushes every pending copy, then gives each its time and place, as Progress reports.
    virtual void Finish(const std::function<void(uint64_t tag, uint32_t error)>& failed) = 0;
};

// The platform's batch; one per pass.
std::unique_ptr<CopyBatch> NewCopyBatch();

// An open directory search; closing happens in the destructor, on every path.
class DirectorySearch {
public:
    virtual ~DirectorySearch() = default;
    // The next entry in the platform's order ("." and ".." included where the platform yields them);
    // false when there are no more.
    virtual bool Next(DirEntry& entry) = 0;
};

// The path of a folder held open, in the terms of the walk that opened it: the path OpenFolder was given,
// or for a sub-folder its parent's path, the delimiter and its name. A sub-folder's path shares its
// parent's, so that the folders of a deep walk hold each name once rather than each its whole path.
class FolderPath {
public:
    explicit FolderPath(std::string path);
    // The path of the folder's sub-folder `name`.
    FolderPath Child(const std::string& name) const;
    // The folder's full path.
    std::string Text() const;
    // The full path of the folder's entry `name`, as the walk names its entries: the folder's path with
    // its delimiter (IncludeSlash), then each sub-folder's name and the delimiter, then the name.
    std::string Entry(std::string_view name) const;

private:
    struct Node;
    explicit FolderPath(std::shared_ptr<Node> node);
    std::shared_ptr<Node> FNode;
};

// A folder held open while a walk works in it. Entries are reached by name relative to the folder, so the
// kernel resolves one name rather than the whole path, no path length limits how deep a walk goes, and a
// folder once opened stays the same folder even if its path is changed under the walk. Each folder also
// knows its path in the terms of the walk (a test's file system sees the paths of its entries), which
// serves only where a step must follow a link on the source side or read what no one may open.
class FolderHandle {
public:
    virtual ~FolderHandle() = default;
    // The folder's path in the walk's terms.
    const FolderPath& Path() const { return FPath; }
    // The folder's entries, as FindFirst on the folder's "*.*" gives them; null when the search cannot start.
    // One search per handle.
    virtual std::unique_ptr<DirectorySearch> Search() = 0;
    // What makes this folder itself; nullopt when it cannot be told.
    virtual std::optional<FileIdentity> Identity() = 0;
    // Exactly what GetAttributeData gives for the entry's full path.
    virtual std::optional<FileAttributeData> GetEntryData(const std::string& name, uint32_t* error = nullptr) = 0;
    // A sub-folder held open. With followLinks a link or junction leads to its target, as a directory
    // search does; without, an entry that is not itself a real folder gives null, so that nothing is ever
    // entered or written through a link. Null also when the folder does not open.
    virtual std::unique_ptr<FolderHandle> OpenSubfolder(const std::string& name, bool followLinks) = 0;
    // Search and OpenSubfolder, also telling why they gave null: `error` receives the platform's error code
    // (one that IsOutOfHandlesError of platform/core/Handles.h
    // tells when no handle is left), or 0 for a search that found no entries at all. The
    // defaults, for handles that cannot tell, give kErrAccessDenied.
    virtual std::unique_ptr<DirectorySearch> TrySearch(uint32_t& error);
    virtual std::unique_ptr<FolderHandle> TryOpenSubfolder(const std::string& name, bool followLinks, uint32_t& error);
    // Creates one sub-folder. Where the platform has permission bits, the new folder takes those of `like`
    // (a folder of the same kind of handle) for its group and others (never more open than `like`, and its
    // group where the runner may set it), and full access for its owner; with no `like` it is private to
    // its owner. On failure *error (when given) receives the platform's error code.
    virtual bool MakeSubfolder(const std::string& name, FolderHandle* like, uint32_t* error = nullptr) = 0;
    // Copies the file `sourceName` of folder `source` into this folder as `name`, as CopyFileReplacing does.
    // With a batch the copy may be left pending there (true), to be finished with the batch under `tag`.
    // On failure *error (when given) receives the platform's error code.
    virtual bool CopyFileHere(FolderHandle& source, const std::string& sourceName, const std::string& name,
                              uint32_t* error = nullptr, CopyBatch* batch = nullptr, uint64_t tag = 0) = 0;
    // Removes from this folder the temporaries that attempts now dead left there (see PartialCopyOwner), but
    // never a file that `source`, the folder it mirrors, also holds. Nothing where the platform cleans up
    // otherwise.
    virtual void RemoveStaleTemporaries(FolderHandle& /*source*/) {}
    // Takes away from the existing entry `name` (source data `source`, its own data `own`) the access that
    // its source no longer grants, so that a copy never stays more open than its source; this folder
    // itself when `name` is empty. Nothing where the platform has no permission bits.
    virtual void RestrictLike(const std::string& /*name*/, const FileAttributeData& /*source*/,
                              const FileAttributeData& /*own*/) {}
    // Whether RestrictLike, given the same data, would take anything away.
    virtual bool Restricts(const FileAttributeData& /*source*/, const FileAttributeData& /*own*/) const {
        return false;
    }

protected:
    explicit FolderHandle(FolderPath path) : FPath(std::move(path)) {}

private:
    FolderPath FPath;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Directory search on a pattern such as "C:\dir\*.*" or "/dir/*.txt" (only "*" and "?" wildcards in
    // the last component). Null when the search cannot start (missing, unreadable, too long, nothing found).
    virtual std::unique_ptr<DirectorySearch> FindFirst(const std::string& pattern) = 0;

    // Attribute bits, or nullopt with *error set to the platform's error code.
    virtual std::optional<uint32_t> GetAttributes(const std::string& path, uint32_t* error) = 0;
    // Attribute bits, last-write time and size, or nullopt with *error (when given) set to the platform's
    // error code. The bits are those GetAttributes gives (a link keeps its link bit); on POSIX time and
    // size are the link target's, on Windows those the platform reports for the path.
    virtual std::optional<FileAttributeData> GetAttributeData(const std::string& path, uint32_t* error = nullptr) = 0;
    // The folder held open for a walk, links followed (a folder named by the user may be reached through
    // links); null when the path is not a folder that opens.
    virtual std::unique_ptr<FolderHandle> OpenFolder(const std::string& path) = 0;
    // The identity of the file or folder the path leads to (links followed), or nullopt.
    virtual std::optional<FileIdentity> GetIdentity(const std::string& path) = 0;
    // Whether the path (a link's target) opens for reading. With backup semantics folders open too.
    // On failure *error receives the platform's error code.
    virtual bool CanOpenForReading(const std::string& path, bool backupSemantics, uint32_t* error) = 0;

    // Copies content onto target, replacing an existing file. The source is read up to the size it had when
    // the copy began. An existing file's data is never written: the copy goes to a temporary name beside the
    // target (PartialCopyName) and is renamed over it only when complete, so a copy cut short leaves the old
    // version, and a hard link in its place is broken rather than written through. A missing target is
    // created under its own name, writable, with the source's permission bits and last-write time set last,
    // so a copy cut short never looks current and never blocks the next one. Fails, leaving the target as it
    // is, when the target is a folder, a link, a file of another kind, or read-only (on POSIX: lacks the
    // owner's write bit, also for root; on Windows also hidden or system) while its source is not: a target
    // whose read-only (hidden, system) state is also its source's is replaced and gets that state again.
    // The copy's data is flushed to the disk before it gets its time or its place. Only a regular file is
    // ever opened, on either side. On failure *error (when given) receives the platform's error code.
    virtual bool CopyFileReplacing(const std::string& source, const std::string& target, uint32_t* error = nullptr) = 0;
    // Creates one folder whose parent exists.
    virtual bool MakeDirectory(const std::string& path) = 0;
    // Renames without ever replacing an existing target.
    virtual bool MoveNoReplace(const std::string& from, const std::string& to) = 0;
    // Renames over an existing file in one step, so that a reader sees the old file or the new one, never
    // neither. On failure *error (when given) receives the platform's error code. The default passes the
    // call to the native file system.
    virtual bool MoveReplacing(const std::string& from, const std::string& to, uint32_t* error = nullptr);
    virtual bool RemoveFile(const std::string& path) = 0;
    // The full path against the current folder; empty on failure (an empty path included).
    virtual std::string GetFullPath(const std::string& path) = 0;
    virtual std::string GetCurrentDir() = 0;
    virtual bool SetCurrentDir(const std::string& path) = 0;

    // Opens a file stream. A refused create raises EFCreateError ("Cannot create file \"%s\". %s"), a
    // refused open EFOpenError ("Cannot open file \"%s\". %s"), with the full path and the platform's text.
    virtual std::unique_ptr<FileStream> OpenStream(const std::string& path, StreamMode mode) = 0;
};

// The present time in the units of last-write times (100 ns since 1601-01-01 UTC).
uint64_t CurrentFileTime();

// How MakeFolderChain goes about a folder, where its callers differ.
struct FolderChainRules {
    // Whether the folder is there already (and nothing above it needs looking at).
    std::function<bool(const std::string& folder)> IsThere;
    // The file system the folders are made on; null for Fs().
    FileSystem* Fs = nullptr;
    // Trailing delimiters dropped before the folder is looked at: every one, or (false) one native delimiter.
    bool DropEveryTrailingDelimiter = false;
    // Where the chain ends at the top: at an empty path or a name ending in ":" (a drive); or (false) at an
    // empty path, or on Windows at any text shorter than three characters (a drive such as "C:").
    bool ColonEndsTheChain = false;
    // An empty path, and a lone relative name (whose parent is empty), raise EInOutError "Unable to create
    // directory"; otherwise an empty path makes nothing and a lone name is made in the current folder.
    bool LoneNameRaises = true;
    // Whether a parent that could not be made stops the chain; otherwise each folder is tried all the same.
    bool StopAtFailedParent = true;
};

// Creates the folder with every missing parent, from the top down, by the rules. True when the folder is
// there afterwards as far as the rules tell; failures raise nothing.
bool MakeFolderChain(const std::string& folder, const FolderChainRules& rules);

// The temporary name under which a copy onto an existing file `name` is written in the target's folder:
// hidden, recognisable as the mirror's own, and unique to the attempt (the process's id and a token that
// no other attempt of this process uses), so that two passes at once never share one.
std::string PartialCopyName(std::string_view name);
// What PartialCopyName gives for another attempt: the owner's process id and its token.
std::string PartialCopyName(std::string_view name, uint32_t processId, uint64_t token);
// The owner's process id of a name that PartialCopyName made; nullopt for any other name.
std::optional<uint32_t> PartialCopyOwner(std::string_view name);

FileSystem& NativeFs();
// The file system that Fs() gives: null for the native one. Only tests put another there, for a scope.
OverridePoint<FileSystem*>& FsOverride();
FileSystem& Fs();

// Whether a plain file is at `path` (a folder never counts), given its attribute bits as already read
// (nullopt with the read's error code when it failed): a failure that means nothing is there is no file;
// after another failure the folder's listing may still show the file; a link counts when its target opens
// for reading or is held by someone who refuses to share it.
bool PlainFileExistsGiven(FileSystem& fs, const std::string& path, std::optional<uint32_t> attributes, uint32_t error);

// The platform's message text for an error code (FormatMessage on Windows, strerror on POSIX, in the
// user's language where the platform has one). "Unknown error N" only for a code no platform call gives.
std::string SysErrorMessage(uint32_t error);

} // namespace pardova::platform
