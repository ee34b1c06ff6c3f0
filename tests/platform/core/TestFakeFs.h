#pragma once
// A file system for tests that answers attribute reads, link opens and current-directory changes from
// the test's own table and passes everything else to the native one. Put in place for one scope.

#include "platform/core/FileSystem.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pardova::testing {

class FakeFs final : public platform::FileSystem {
public:
    // An entry with the given attribute bits.
    void Add(const std::string& path, uint32_t attributes) { FEntries[path] = Entry{attributes, 0, true}; }
    // A path whose attribute read fails with the given error code.
    void Fail(const std::string& path, uint32_t error) { FEntries[path] = Entry{0, error, true}; }
    // A link whose target does not open.
    void Unreachable(const std::string& path) { FEntries[path].Opens = false; }
    // Every current-directory change asked for, and whether it may succeed. Attribute reads of paths
    // not in the table fail with "file not found".
    std::vector<std::string> DirChanges;
    bool DirChangeSucceeds = true;

    std::unique_ptr<platform::DirectorySearch> FindFirst(const std::string& pattern) override {
        return platform::NativeFs().FindFirst(pattern);
    }
    std::optional<uint32_t> GetAttributes(const std::string& path, uint32_t* error) override {
        const auto it = FEntries.find(path);
        const uint32_t code = it == FEntries.end() ? platform::kErrFileNotFound : it->second.Error;
        if (code != 0) {
            if (error != nullptr) {
                *error = code;
            }
            return std::nullopt;
        }
        return it->second.Attributes;
    }
    std::optional<platform::FileAttributeData> GetAttributeData(const std::string& path,
                                                                uint32_t* error) override {
        return platform::NativeFs().GetAttributeData(path, error);
    }
    std::optional<platform::FileIdentity> GetIdentity(const std::string& path) override {
        return platform::NativeFs().GetIdentity(path);
    }
    bool CanOpenForReading(const std::string& path, bool, uint32_t* error) override {
        const auto it = FEntries.find(path);
        if (it == FEntries.end() || !it->second.Opens) {
            if (error != nullptr) {
                *error = platform::kErrFileNotFound;
            }
            return false;
        }
        return true;
    }
    bool CopyFileReplacing(const std::string& source, const std::string& target) override {
        return platform::NativeFs().CopyFileReplacing(source, target);
    }
    bool MakeDirectory(const std::string& path) override { return platform::NativeFs().MakeDirectory(path); }
    bool MoveNoReplace(const std::string& from, const std::string& to) override {
        return platform::NativeFs().MoveNoReplace(from, to);
    }
    bool RemoveFile(const std::string& path) override { return platform::NativeFs().RemoveFile(path); }
    std::string GetFullPath(const std::string& path) override { return platform::NativeFs().GetFullPath(path); }
    std::string GetCurrentDir() override { return DirChanges.empty() ? std::string() : DirChanges.back(); }
    bool SetCurrentDir(const std::string& path) override {
        DirChanges.push_back(path);
        return DirChangeSucceeds;
    }
    std::unique_ptr<platform::FileStream> OpenStream(const std::string& path, platform::StreamMode mode) override {
        return platform::NativeFs().OpenStream(path, mode);
    }

private:
    struct Entry {
        uint32_t Attributes = 0;
        uint32_t Error = 0;
        bool Opens = true;
    };
    std::map<std::string, Entry> FEntries;
};

// Puts a FakeFs in place for as long as it lives.
class ScopedFakeFs {
public:
    ScopedFakeFs() : FPrevious(platform::SetFs(&Fs)) {}
    ~ScopedFakeFs() { platform::SetFs(FPrevious); }
    ScopedFakeFs(const ScopedFakeFs&) = delete;
    ScopedFakeFs& operator=(const ScopedFakeFs&) = delete;

    FakeFs Fs;

private:
    platform::FileSystem* FPrevious;
};

} // namespace pardova::testing
