#pragma once
// A file system for tests that answers attribute reads, link opens and current-directory changes from
// the test's own table and passes everything else to the native one. Put in place for one scope.

#include "platform/core/FileSystem.h"
#include "platform/core/TestForwardingFs.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pardova::testing {

class FakeFs final : public ForwardingFs {
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
    std::string GetCurrentDir() override { return DirChanges.empty() ? std::string() : DirChanges.back(); }
    bool SetCurrentDir(const std::string& path) override {
        DirChanges.push_back(path);
        return DirChangeSucceeds;
    }

private:
    struct Entry {
        uint32_t Attributes = 0;
        uint32_t Error = 0;
        bool Opens = true;
    };
    std::map<std::string, Entry> FEntries;
};

// Puts a FakeFs in place of Fs() for as long as it lives.
class ScopedFakeFs {
public:
    ScopedFakeFs() : FUse(platform::FsOverride(), &Fs) {}
    ScopedFakeFs(const ScopedFakeFs&) = delete;
    ScopedFakeFs& operator=(const ScopedFakeFs&) = delete;

    FakeFs Fs;

private:
    platform::ScopedOverride<platform::FileSystem*> FUse;
};

} // namespace pardova::testing
