// The native file system. This file holds what every platform shares; the platform part (posix/ or win32/
// FileSystem.inc) implements the narrow set of calls below it and defines the class NativeFileSystem.

#include "platform/core/FileSystem.h"

#include "platform/core/Path.h"
#include "platform/core/Process.h"
#include "platform/core/Text.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <random>
#include <utility>
#include <vector>

namespace pardova::platform {

namespace {

// Seconds between 1601-01-01 and 1970-01-01, both UTC.
constexpr int64_t kUnixEpochIn1601Seconds = 11644473600;
constexpr int64_t kTicksPerSecond = 10000000;

[[maybe_unused]] uint64_t TicksFromUnixTime(int64_t seconds, int64_t nanoseconds) {
    // A time outside the 64-bit count's range (before 1601, after 30,828) reads as its nearest end; times are
    // compared in their exact form, never in this one.
    if (seconds < -kUnixEpochIn1601Seconds) {
        return 0;
    }
    if (seconds > INT64_MAX - kUnixEpochIn1601Seconds) {
        return UINT64_MAX;
    }
    const uint64_t whole = static_cast<uint64_t>(seconds + kUnixEpochIn1601Seconds);
    const uint64_t fraction = static_cast<uint64_t>(nanoseconds / 100);
    if (whole > UINT64_MAX / kTicksPerSecond || whole * kTicksPerSecond > UINT64_MAX - fraction) {
        return UINT64_MAX;
    }
    return whole * kTicksPerSecond + fraction;
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

bool IsNotThereError(uint32_t error) {
    return error == kErrFileNotFound || error == kErrPathNotFound || error == kErrBadNetPath ||
           error == kErrInvalidName;
}

// One folder of a path: the folder OpenFolder opened (no parent) holds its whole path, a sub-folder its name.
struct FolderPath::Node {
    Node(std::shared_ptr<Node> parent, std::string name) : Parent(std::move(parent)), Name(std::move(name)) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node();

    std::shared_ptr<Node> Parent;
    std::string Name;
};

FolderPath::Node::~Node() {
    // The nodes that only this one held go one at a time rather than each in its child's destructor: the
    // chain is as long as the walk is deep, and nested destructors would run it past the end of the stack.
    std::shared_ptr<Node> parent = std::move(Parent);
    while (parent && parent.use_count() == 1) {
        std::shared_ptr<Node> next = std::move(parent->Parent);
        parent = std::move(next);
    }
}

FolderPath::FolderPath(std::string path) : FNode(std::make_shared<Node>(nullptr, std::move(path))) {}

FolderPath::FolderPath(std::shared_ptr<Node> node) : FNode(std::move(node)) {}

FolderPath FolderPath::Child(const std::string& name) const { return FolderPath(std::make_shared<Node>(FNode, name)); }

std::string FolderPath::Text() const {
    return FNode->Parent ? FolderPath(FNode->Parent).Entry(FNode->Name) : FNode->Name;
}

std::string FolderPath::Entry(std::string_view name) const {
    std::vector<const Node*> chain;
    size_t length = name.size() + 1;
    for (const Node* node = FNode.get(); node != nullptr; node = node->Parent.get()) {
        chain.push_back(node);
        length += node->Name.size() + 1;
    }
    std::string text = IncludeSlash(chain.back()->Name);
    text.reserve(length);
    for (size_t i = chain.size() - 1; i-- > 0;) {
        text += chain[i]->Name;
        text += PathDelimiter();
    }
    text += name;
    return text;
}

std::unique_ptr<DirectorySearch> FolderHandle::TrySearch(uint32_t& error) {
    std::unique_ptr<DirectorySearch> search = Search();
    error = search ? 0 : kErrAccessDenied;
    return search;
}

std::unique_ptr<FolderHandle> FolderHandle::TryOpenSubfolder(const std::string& name, bool followLinks,
                                                             uint32_t& error) {
    std::unique_ptr<FolderHandle> folder = OpenSubfolder(name, followLinks);
    error = folder ? 0 : kErrAccessDenied;
    return folder;
}

bool FileSystem::MoveReplacing(const std::string& from, const std::string& to, uint32_t* error) {
    return NativeFs().MoveReplacing(from, to, error);
}

uint64_t CurrentFileTime() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
    return TicksFromUnixTime(nanoseconds / 1000000000, nanoseconds % 1000000000);
}

namespace {
constexpr std::string_view kPartPrefix = ".~";
constexpr std::string_view kPartSuffix = ".pardova-part";

// A token per attempt: random per process (two machines writing one share may reuse a process id), and a
// count within it.
uint64_t NextPartialToken() {
    static const uint64_t processPart = [] {
        std::random_device random;
        return static_cast<uint64_t>(random()) << 32;
    }();
    static std::atomic<uint32_t> count{0};
    return processPart | count.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

std::string PartialCopyName(std::string_view name) {
    return PartialCopyName(name, CurrentProcessId(), NextPartialToken());
}

std::string PartialCopyName(std::string_view name, uint32_t processId, uint64_t token) {
    char owner[40];
    const int ownerLength = std::snprintf(owner, sizeof owner, ".%u-%016llx", static_cast<unsigned>(processId),
                                          static_cast<unsigned long long>(token));
    const std::string_view ownerText(owner, static_cast<size_t>(ownerLength));
    std::string result(kPartPrefix);
    // Names are at most 255 bytes on the usual file systems; a longer temporary name is made from a hash.
    if (kPartPrefix.size() + name.size() + ownerText.size() + kPartSuffix.size() <= 255) {
        result.append(name);
    } else {
        const uint64_t hash = Fnv1a64(name);
        for (int shift = 56; shift >= 0; shift -= 8) {
            AppendHexByte(result, static_cast<uint8_t>(hash >> shift), HexDigits::Lower);
        }
    }
    result.append(ownerText).append(kPartSuffix);
    return result;
}

std::optional<uint32_t> PartialCopyOwner(std::string_view name) {
    if (name.size() <= kPartPrefix.size() + kPartSuffix.size() || name.substr(0, kPartPrefix.size()) != kPartPrefix ||
        name.substr(name.size() - kPartSuffix.size()) != kPartSuffix) {
        return std::nullopt;
    }
    name.remove_suffix(kPartSuffix.size());
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < kPartPrefix.size()) {
        return std::nullopt;
    }
    const std::string_view owner = name.substr(dot + 1);
    const size_t dash = owner.find('-');
    if (dash == std::string_view::npos || dash == 0 || owner.size() - dash - 1 != 16) {
        return std::nullopt;
    }
    uint32_t processId = 0;
    const auto [end, failure] = std::from_chars(owner.data(), owner.data() + dash, processId);
    if (failure != std::errc() || end != owner.data() + dash) {
        return std::nullopt;
    }
    for (const char c : owner.substr(dash + 1)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return std::nullopt;
        }
    }
    return processId;
}

FileSystem& NativeFs() {
    static NativeFileSystem fs;
    return fs;
}

OverridePoint<FileSystem*>& FsOverride() {
    static OverridePoint<FileSystem*> point(nullptr);
    return point;
}

FileSystem& Fs() {
    FileSystem* fs = FsOverride().Get();
    return fs != nullptr ? *fs : NativeFs();
}

bool PlainFileExistsGiven(FileSystem& fs, const std::string& path, std::optional<uint32_t> attributes, uint32_t error) {
    if (!attributes) {
        if (IsNotThereError(error)) {
            return false;
        }
        // The attributes cannot be read, yet the folder's listing may still show the file.
        const std::unique_ptr<DirectorySearch> search = fs.FindFirst(path);
        DirEntry entry;
        return search != nullptr && search->Next(entry) && (entry.Attributes & kAttrDirectory) == 0;
    }
    if ((*attributes & kAttrDirectory) != 0) {
        return false;
    }
    if ((*attributes & kAttrReparsePoint) == 0) {
        return true;
    }
    uint32_t openError = 0;
    return fs.CanOpenForReading(path, false, &openError) || openError == kErrSharingViolation;
}

} // namespace pardova::platform
