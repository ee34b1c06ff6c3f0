// The native file system. This file holds what every platform shares; the platform part (posix/ or win32/
// FileSystem.inc) implements the narrow set of calls below it and defines the class NativeFileSystem.

#include "platform/core/FileSystem.h"

#include "platform/core/Path.h"

#include <atomic>
#include <chrono>

namespace pardova::platform {

namespace {

// Seconds between 1601-01-01 and 1970-01-01, both UTC.
constexpr int64_t kUnixEpochIn1601Seconds = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;

[[maybe_unused]] uint64_t TicksFromUnixTime(int64_t seconds, int64_t nanoseconds) {
    const int64_t ticks = (seconds + kUnixEpochIn1601Seconds) * kTicksPerSecond + nanoseconds / 100;
    // A time before 1601 has no representation in the platform's numbering; it reads as the earliest one.
    return ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
}

// Name matching of a directory search: "*" any run of characters, "?" any one character, every other
// character itself; "*.*" and "*" match every name, with or without a dot, as on Windows.
[[maybe_unused]] bool MatchesPattern(std::string_view name, std::string_view pattern) {
    if (pattern == "*" || pattern == "*.*") {
        return true;
    }
    size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace

} // namespace pardova::platform

#ifdef _WIN32
#include "win32/FileSystem.inc"
#else
#include "posix/FileSystem.inc"
#endif

namespace pardova::platform {

namespace {
std::atomic<FileSystem*> gCurrentFs{nullptr};

// A folder known by its path alone: every step goes through the file system's own path calls.
class PathFolderHandle final : public FolderHandle {
public:
    PathFolderHandle(FileSystem& fs, std::string path) : FFs(fs), FPath(std::move(path)) {}

    std::unique_ptr<DirectorySearch> Search() override { return FFs.FindFirst(IncludeSlash(FPath) + "*.*"); }

    std::optional<FileIdentity> Identity() override { return FFs.GetIdentity(FPath); }

    std::optional<FileAttributeData> GetEntryData(const std::string&, const std::string& path,
                                                  uint32_t* error) override {
        return FFs.GetAttributeData(path, error);
    }

    std::unique_ptr<FolderHandle> OpenSubfolder(const std::string&, const std::string& path,
                                                bool followLinks) override {
        if (!followLinks) {
            // Only a real folder; a link or junction to one is never entered.
            uint32_t error = 0;
            const std::optional<uint32_t> attributes = FFs.GetAttributes(path, &error);
            if (!attributes || (*attributes & kAttrDirectory) == 0 || (*attributes & kAttrReparsePoint) != 0) {
                return nullptr;
            }
        }
        return std::make_unique<PathFolderHandle>(FFs, path);
    }

    bool MakeSubfolder(const std::string&, const std::string& path, FolderHandle*) override {
        return FFs.MakeDirectory(path);
    }

    bool CopyFileHere(FolderHandle&, const std::string&, const std::string& sourcePath, const std::string&,
                      const std::string& path) override {
        return FFs.CopyFileReplacing(sourcePath, path);
    }

private:
    FileSystem& FFs;
    std::string FPath;
};
} // namespace

std::unique_ptr<FolderHandle> FileSystem::OpenFolder(const std::string& path) {
    uint32_t error = 0;
    const std::optional<uint32_t> attributes = GetAttributes(path, &error);
    if (attributes ? (*attributes & kAttrDirectory) == 0
                   : (error == kErrFileNotFound || error == kErrPathNotFound || error == kErrInvalidName)) {
        return nullptr;
    }
    return std::make_unique<PathFolderHandle>(*this, path);
}

bool FileSystem::MoveReplacing(const std::string& from, const std::string& to, uint32_t* error) {
    return NativeFs().MoveReplacing(from, to, error);
}

uint64_t CurrentFileTime() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
    return TicksFromUnixTime(nanoseconds / 1000000000, nanoseconds % 1000000000);
}

std::string PartialCopyName(std::string_view name) {
    static constexpr std::string_view kPrefix = ".~";
    static constexpr std::string_view kSuffix = ".pardova-part";
    // Names are at most 255 bytes on the usual file systems; a longer temporary name is made from a hash.
    if (kPrefix.size() + name.size() + kSuffix.size() <= 255) {
        std::string result;
        result.reserve(kPrefix.size() + name.size() + kSuffix.size());
        result.append(kPrefix).append(name).append(kSuffix);
        return result;
    }
    uint64_t hash = 14695981039346656037ull;
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string result(kPrefix);
    for (int shift = 60; shift >= 0; shift -= 4) {
        result += kDigits[(hash >> shift) & 0xF];
    }
    result.append(kSuffix);
    return result;
}

FileSystem& NativeFs() {
    static NativeFileSystem fs;
    return fs;
}

FileSystem& Fs() {
    FileSystem* fs = gCurrentFs.load(std::memory_order_acquire);
    return fs != nullptr ? *fs : NativeFs();
}

FileSystem* SetFs(FileSystem* fs) {
    FileSystem* previous = gCurrentFs.exchange(fs, std::memory_order_acq_rel);
    return previous != nullptr ? previous : &NativeFs();
}

} // namespace pardova::platform
