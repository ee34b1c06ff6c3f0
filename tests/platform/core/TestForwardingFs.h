#pragma once
// The one base of the tests' file systems: every call passes on to another file system (the native one
// unless a test names another). A test's fake derives from it and overrides only the calls it changes, so a
// new file-system call is forwarded here once, not in every fake.
//
// OpenFolder gives the inner file system's own folder (the native one holds it open and works relative to
// it), wrapped so that each call a walk makes on a folder comes to this object first: a fake overrides the
// Folder* calls below to see or change those steps, and the steps it leaves alone run the platform's own
// walk, the code users run. MoveReplacing keeps the interface's default (the native file system).

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
    std::unique_ptr<platform::FolderHandle> OpenFolder(const std::string& path) override {
        return Wrap(FInner.OpenFolder(path), platform::FolderPath(path));
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

protected:
    // The steps of a walk on a folder held open. `folder` is the inner file system's folder whose path is
    // `folderPath` (as the walk named it: the path given to OpenFolder, a sub-folder's path composed from
    // its parent's); `path` is the entry's, composed the same way. Folders passed along (`like`, `source`)
    // are the inner ones too.
    // The search and the sub-folder open give why they gave null in `error`, as TrySearch and
    // TryOpenSubfolder do.
    virtual std::unique_ptr<platform::DirectorySearch> FolderSearch(platform::FolderHandle& folder,
                                                                    const std::string& folderPath, uint32_t& error) {
        (void)folderPath;
        return folder.TrySearch(error);
    }
    virtual std::optional<platform::FileAttributeData>
    FolderEntryData(platform::FolderHandle& folder, const std::string& name, const std::string& path, uint32_t* error) {
        (void)path;
        return folder.GetEntryData(name, error);
    }
    virtual std::unique_ptr<platform::FolderHandle> FolderOpenSubfolder(platform::FolderHandle& folder,
                                                                        const std::string& name,
                                                                        const std::string& path, bool followLinks,
                                                                        uint32_t& error) {
        (void)path;
        return folder.TryOpenSubfolder(name, followLinks, error);
    }
    virtual bool FolderMakeSubfolder(platform::FolderHandle& folder, const std::string& name, const std::string& path,
                                     platform::FolderHandle* like, uint32_t* error) {
        (void)path;
        return folder.MakeSubfolder(name, like, error);
    }
    virtual bool FolderCopyFileHere(platform::FolderHandle& folder, platform::FolderHandle& source,
                                    const std::string& sourceName, const std::string& sourcePath,
                                    const std::string& name, const std::string& path, uint32_t* error,
                                    platform::CopyBatch* batch, uint64_t tag) {
        (void)sourcePath;
        (void)path;
        return folder.CopyFileHere(source, sourceName, name, error, batch, tag);
    }

private:
    // A folder of the inner file system whose calls pass through the Folder* calls of its owner.
    class Folder final : public platform::FolderHandle {
    public:
        Folder(ForwardingFs& owner, std::unique_ptr<platform::FolderHandle> inner, platform::FolderPath path)
            : FolderHandle(std::move(path)), FOwner(owner), FInner(std::move(inner)) {}

        std::unique_ptr<platform::DirectorySearch> Search() override {
            uint32_t error = 0;
            return TrySearch(error);
        }
        std::unique_ptr<platform::DirectorySearch> TrySearch(uint32_t& error) override {
            return FOwner.FolderSearch(*FInner, Path().Text(), error);
        }
        std::optional<platform::FileIdentity> Identity() override { return FInner->Identity(); }
        std::optional<platform::FileAttributeData> GetEntryData(const std::string& name, uint32_t* error) override {
            return FOwner.FolderEntryData(*FInner, name, Path().Entry(name), error);
        }
        std::unique_ptr<platform::FolderHandle> OpenSubfolder(const std::string& name, bool followLinks) override {
            uint32_t error = 0;
            return TryOpenSubfolder(name, followLinks, error);
        }
        std::unique_ptr<platform::FolderHandle> TryOpenSubfolder(const std::string& name, bool followLinks,
                                                                 uint32_t& error) override {
            return FOwner.Wrap(FOwner.FolderOpenSubfolder(*FInner, name, Path().Entry(name), followLinks, error),
                               Path().Child(name));
        }
        bool MakeSubfolder(const std::string& name, platform::FolderHandle* like, uint32_t* error) override {
            return FOwner.FolderMakeSubfolder(*FInner, name, Path().Entry(name),
                                              like != nullptr ? &FOwner.Inner(*like) : nullptr, error);
        }
        bool CopyFileHere(platform::FolderHandle& source, const std::string& sourceName, const std::string& name,
                          uint32_t* error, platform::CopyBatch* batch, uint64_t tag) override {
            return FOwner.FolderCopyFileHere(*FInner, FOwner.Inner(source), sourceName, source.Path().Entry(sourceName),
                                             name, Path().Entry(name), error, batch, tag);
        }
        void RemoveStaleTemporaries(platform::FolderHandle& source) override {
            FInner->RemoveStaleTemporaries(FOwner.Inner(source));
        }
        void RestrictLike(const std::string& name, const platform::FileAttributeData& source,
                          const platform::FileAttributeData& own) override {
            FInner->RestrictLike(name, source, own);
        }

        ForwardingFs& FOwner;
        std::unique_ptr<platform::FolderHandle> FInner;
    };

    std::unique_ptr<platform::FolderHandle> Wrap(std::unique_ptr<platform::FolderHandle> inner,
                                                 platform::FolderPath path) {
        return inner ? std::make_unique<Folder>(*this, std::move(inner), std::move(path)) : nullptr;
    }
    // The inner folder of one of this object's folders; any other folder as it is.
    platform::FolderHandle& Inner(platform::FolderHandle& folder) {
        auto* own = dynamic_cast<Folder*>(&folder);
        return own != nullptr && &own->FOwner == this ? *own->FInner : folder;
    }

    platform::FileSystem& FInner;
};

} // namespace pardova::testing
