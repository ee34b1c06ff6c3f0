#include "app/core/Mirror.h"

#include "app/core/FileRoutines.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

#include <optional>
#include <vector>

namespace pardova {

using namespace platform;

namespace {

class MirrorWalk {
public:
    MirrorWalk(const std::string& source, const std::string& dest)
        : FDestFull(WithoutTrailingSeparators(ExpandPath(dest))), FDestName(NamePart(FDestFull)),
          FDestPath(dest) {
        FOpenFolders.push_back({source, std::nullopt, false});
    }

    void Walk(const std::string& sourceFolder, const std::string& destFolder) {
        const std::string source = IncludeSlash(sourceFolder);
        const std::string dest = IncludeSlash(destFolder);
        const std::unique_ptr<DirectorySearch> search = Fs().FindFirst(source + "*.*");
        if (search == nullptr) {
            return;
        }
        // Both folders are opened at their first file, for looking entries up by name.
        FolderPair folders{source, dest, nullptr, nullptr};
        DirEntry entry;
        while (search->Next(entry)) {
            if (entry.Name == "." || entry.Name == "..") {
                continue;
            }
            const std::string sourcePath = source + entry.Name;
            const std::string destPath = dest + entry.Name;
            if ((entry.Attributes & kAttrDirectory) != 0) {
                if (IsDestination(entry.Name, sourcePath)) {
                    continue; // mirroring B into itself would nest without end
                }
                AddToLog(sourcePath);
                MakeFolderPath(destPath);
                if (std::optional<FileIdentity> id; MayEnter(sourcePath, entry.Attributes, id)) {
                    FOpenFolders.push_back({sourcePath, id, id.has_value()});
                    Walk(sourcePath, destPath);
                    FOpenFolders.pop_back();
                }
            } else {
                AddToLog(sourcePath);
                MirrorFile(folders, entry.Name, sourcePath, destPath);
            }
        }
    }

private:
    struct OpenFolder {
        std::string Path;
        std::optional<FileIdentity> Identity;
        bool IdentityRead = false;
    };

    // Only an entry bearing B's own name can be B, so the full path is formed for those alone.
    bool IsDestination(const std::string& name, const std::string& sourcePath) {
        if (FDestName.empty() || !SamePathText(name, FDestName)) {
            return false;
        }
        if (SamePathText(WithoutTrailingSeparators(ExpandPath(sourcePath)), FDestFull)) {
            return true;
        }
        const std::optional<FileIdentity> dest = DestIdentity();
        return dest.has_value() && Fs().GetIdentity(sourcePath) == dest;
    }

    // A folder reached through a link may lead back onto the walk's own path, or into B; entering it would
    // repeat the walk without end. Identities are read only once a link is met, so a tree without links
    // costs nothing extra.
    bool MayEnter(const std::string& sourcePath, uint32_t attributes, std::optional<FileIdentity>& id) {
        if ((attributes & kAttrReparsePoint) == 0) {
            return true;
        }
        id = Fs().GetIdentity(sourcePath);
        if (!id) {
            return true;
        }
        for (OpenFolder& folder : FOpenFolders) {
            if (!folder.IdentityRead) {
                folder.Identity = Fs().GetIdentity(folder.Path);
                folder.IdentityRead = true;
            }
            if (folder.Identity == id) {
                return false;
            }
        }
        return DestIdentity() != id;
    }

    std::optional<FileIdentity> DestIdentity() {
        if (!FDestIdentityRead) {
            FDestIdentity = Fs().GetIdentity(FDestPath);
            FDestIdentityRead = true;
        }
        return FDestIdentity;
    }

    struct FolderPair {
        const std::string& SourcePath;
        const std::string& DestPath;
        std::unique_ptr<FolderHandle> Source;
        std::unique_ptr<FolderHandle> Dest;
    };

    // The three skip tests in their order, each file's attributes read once: the destination's serve both
    // the existence test and the comparisons.
    static void MirrorFile(FolderPair& folders, const std::string& name, const std::string& sourcePath,
                           const std::string& destPath) {
        if (!folders.Dest) {
            folders.Dest = Fs().OpenFolder(folders.DestPath);
        }
        uint32_t error = 0;
        const std::optional<FileAttributeData> dest = folders.Dest->GetEntryData(name, destPath, &error);
        const std::optional<uint32_t> destAttributes =
            dest ? std::optional<uint32_t>(dest->Attributes) : std::nullopt;
        if (detail::PlainFileExistsGiven(destPath, destAttributes, error) && dest) {
            if (!folders.Source) {
                folders.Source = Fs().OpenFolder(folders.SourcePath);
            }
            const std::optional<FileAttributeData> source = folders.Source->GetEntryData(name, sourcePath);
            if (source && source->LastWriteTime == dest->LastWriteTime && source->Size == dest->Size) {
                return;
            }
        }
        AddToLog("  копирую -> " + destPath);
        Fs().CopyFileReplacing(sourcePath, destPath);
    }

    const std::string FDestFull;
    const std::string FDestName;
    const std::string FDestPath;
    std::optional<FileIdentity> FDestIdentity;
    bool FDestIdentityRead = false;
    std::vector<OpenFolder> FOpenFolders;
};

} // namespace

void SyncFolder(const std::string& Source, const std::string& Dest) {
    MirrorWalk walk(Source, Dest);
    walk.Walk(Source, Dest);
}

bool SameWriteTime(const std::string& FileA, const std::string& FileB) {
    const std::optional<FileAttributeData> a = Fs().GetAttributeData(FileA);
    if (!a) {
        return false;
    }
    const std::optional<FileAttributeData> b = Fs().GetAttributeData(FileB);
    return b.has_value() && a->LastWriteTime == b->LastWriteTime;
}

int64_t GetFileSize64(const std::string& FileName) {
    const std::optional<FileAttributeData> data = Fs().GetAttributeData(FileName);
    return data ? static_cast<int64_t>(data->Size) : -1;
}

} // namespace pardova
