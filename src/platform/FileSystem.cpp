// The native file system. This file holds what every platform shares; the platform part (posix/ or win32/
// FileSystem.inc) implements the narrow set of calls below it and defines the class NativeFileSystem.

#include "platform/FileSystem.h"

#include <atomic>

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

class PathFolderHandle final : public FolderHandle {
public:
    explicit PathFolderHandle(FileSystem& fs) : FFs(fs) {}
    std::optional<FileAttributeData> GetEntryData(const std::string&, const std::string& path,
                                                  uint32_t* error) override {
        return FFs.GetAttributeData(path, error);
    }

private:
    FileSystem& FFs;
};
} // namespace

std::unique_ptr<FolderHandle> FileSystem::OpenFolder(const std::string&) {
    return std::make_unique<PathFolderHandle>(*this);
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
