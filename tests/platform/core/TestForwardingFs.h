#pragma once
// The one base of the tests' file systems: every call passes on to another file system (the native one
// unless a test names another). A test's fake derives from it and overrides only the calls it changes, so a
// new file-system call is forwarded here once, not in every fake.
//
// OpenFolder stays the interface's own, which walks through this object's calls, so that a fake sees every
// step of a walk; MoveReplacing keeps the interface's default (the native file system).

#include "platform/core/FileSystem.h"

#include <memory>
#include <optional>
#include <string>

namespace pardova::testing {

class ForwardingFs : public platform::FileSystem {
public:
    explicit ForwardingFs(platform::FileSystem& inner = platform::NativeFs()) : FInner(inner) {}

    std::unique_ptr<platform::DirectorySearch> FindFirst(const std::string& pattern) override {
        return FInner.FindFirst(pattern);
    }
    std::optional<uint32_t> GetAttributes(const std::string& path, uint32_t* error) override {
        return FInner.GetAttributes(path, error);
    }
    std::optional<platform::FileAttributeData> GetAttributeData(const std::string& path,
                                                                uint32_t* error = nullptr) override {
        return FInner.GetAttributeData(path, error);
    }
    std::optional<platform::FileIdentity> GetIdentity(const std::string& path) override {
        return FInner.GetIdentity(path);
    }
    bool CanOpenForReading(const std::string& path, bool backupSemantics, uint32_t* error) override {
        return FInner.CanOpenForReading(path, backupSemantics, error);
    }
    bool CopyFileReplacing(const std::string& source, const std::string& target, uint32_t* error) override {
        return FInner.CopyFileReplacing(source, target, error);
    }
    bool MakeDirectory(const std::string& path) override { return FInner.MakeDirectory(path); }
    bool MoveNoReplace(const std::string& from, const std::string& to) override {
        return FInner.MoveNoReplace(from, to);
    }
    bool RemoveFile(const std::string& path) override { return FInner.RemoveFile(path); }
    std::string GetFullPath(const std::string& path) override { return FInner.GetFullPath(path); }
    std::string GetCurrentDir() override { return FInner.GetCurrentDir(); }
    bool SetCurrentDir(const std::string& path) override { return FInner.SetCurrentDir(path); }
    std::unique_ptr<platform::FileStream> OpenStream(const std::string& path, platform::StreamMode mode) override {
        return FInner.OpenStream(path, mode);
    }

private:
    platform::FileSystem& FInner;
};

} // namespace pardova::testing
