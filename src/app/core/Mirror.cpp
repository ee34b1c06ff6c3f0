#include "app/core/Mirror.h"

#include "app/core/FileRoutines.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace pardova {

using namespace platform;

namespace {

// One pass. Both sides are walked through folders held open, so that every entry is reached by its name in
// a folder the walk has already checked: below B nothing is entered or written through a link, and no
// path length limits how deep the walk goes. Each entry is compared by fresh reads when the walk reaches it.
class MirrorWalk {
public:
    MirrorWalk(const std::string& source, const std::string& dest)
        : FDestFull(WithoutTrailingSeparators(ExpandPath(dest))), FDestName(NamePart(FDestFull)) {
        // B itself, and the folders above it, may be reached through links: that is the user's choice.
        FDest = Fs().OpenFolder(dest);
        if (FDest) {
            FDestIdentity = FDest->Identity();
        }
        FSource = Fs().OpenFolder(source);
    }

    void Run(const std::string& source, const std::string& dest) {
        if (!FSource) {
            return;
        }
        const std::optional<FileIdentity> sourceIdentity = FSource->Identity();
        // A and B the same folder: every file compares equal with itself, and nothing is written.
        const bool destIsSource = sourceIdentity && FDestIdentity == sourceIdentity;
        FSourcePath.push_back(sourceIdentity);
        Walk(*FSource, source, FDest.get(), dest, destIsSource);
        FSourcePath.pop_back();
    }

private:
    // dest is null where the destination folder is missing, could not be made, or is not a real folder of
    // B's own (a link, or one of the source folders on the walk's path): the walk then goes on through the
    // source, logging every entry and every copy it would start, and writes nothing there.
    void Walk(FolderHandle& sourceFolder, const std::string& sourceFolderPath, FolderHandle* destFolder,
              const std::string& destFolderPath, bool destIsSource) {
        const std::unique_ptr<DirectorySearch> search = sourceFolder.Search();
        if (search == nullptr) {
            return;
        }
        const std::string source = IncludeSlash(sourceFolderPath);
        const std::string dest = IncludeSlash(destFolderPath);
        // Each entry's full paths are composed in these, so that a folder's entries reuse their storage.
        std::string sourcePath = source;
        std::string destPath = dest;
        DirEntry entry;
        while (search->Next(entry)) {
            if (entry.Name == "." || entry.Name == "..") {
                continue;
            }
            sourcePath.resize(source.size());
            sourcePath += entry.Name;
            destPath.resize(dest.size());
            destPath += entry.Name;
            if ((entry.Attributes & kAttrDirectory) != 0) {
                MirrorSubfolder(sourceFolder, destFolder, entry.Name, sourcePath, destPath, destIsSource);
            } else {
                AddToLog(PathForLog(sourcePath));
                MirrorFile(sourceFolder, destFolder, entry.Name, sourcePath, destPath, destIsSource);
            }
        }
    }

    void MirrorSubfolder(FolderHandle& sourceFolder, FolderHandle* destFolder, const std::string& name,
                         const std::string& sourcePath, const std::string& destPath, bool destIsSource) {
        std::unique_ptr<FolderHandle> source = sourceFolder.OpenSubfolder(name, sourcePath, true);
        const std::optional<FileIdentity> sourceIdentity = source ? source->Identity() : std::nullopt;
        if (IsDestination(name, sourcePath, sourceIdentity)) {
            return; // mirroring B into itself would nest without end
        }
        AddToLog(PathForLog(sourcePath));
        std::unique_ptr<FolderHandle> dest;
        bool subDestIsSource = false;
        if (destFolder != nullptr) {
            if (!destIsSource) {
                destFolder->MakeSubfolder(name, destPath, source.get()); // an existing folder is fine
            }
            dest = destFolder->OpenSubfolder(name, destPath, false);
            if (dest) {
                const std::optional<FileIdentity> destIdentity = dest->Identity();
                if (destIdentity && destIdentity == sourceIdentity) {
                    subDestIsSource = true;
                } else if (destIdentity && OnSourcePath(*destIdentity)) {
                    dest.reset(); // A inside B: this destination is one of the folders being read
                }
            }
        }
        // A folder reached through a link may lead back onto the walk's own path: entering it would repeat
        // the walk without end.
        if (source && !(sourceIdentity && OnSourcePath(*sourceIdentity))) {
            FSourcePath.push_back(sourceIdentity);
            Walk(*source, sourcePath, dest.get(), destPath, subDestIsSource);
            FSourcePath.pop_back();
        }
    }

    // The three skip tests in their order, each file's attributes read once: the destination's serve both
    // the existence test and the comparisons.
    static void MirrorFile(FolderHandle& sourceFolder, FolderHandle* destFolder, const std::string& name,
                           const std::string& sourcePath, const std::string& destPath, bool destIsSource) {
        if (destFolder != nullptr) {
            uint32_t error = 0;
            const std::optional<FileAttributeData> dest = destFolder->GetEntryData(name, destPath, &error);
            const std::optional<uint32_t> destAttributes =
                dest ? std::optional<uint32_t>(dest->Attributes) : std::nullopt;
            if (detail::PlainFileExistsGiven(destPath, destAttributes, error) && dest) {
                const std::optional<FileAttributeData> source = sourceFolder.GetEntryData(name, sourcePath);
                if (source && source->LastWriteTime == dest->LastWriteTime && source->Size == dest->Size) {
                    return;
                }
            }
        }
        AddToLog("  копирую -> " + PathForLog(destPath));
        if (destFolder != nullptr && !destIsSource) {
            destFolder->CopyFileHere(sourceFolder, name, sourcePath, name, destPath);
        }
    }

    bool OnSourcePath(const FileIdentity& identity) const {
        return std::find(FSourcePath.begin(), FSourcePath.end(), identity) != FSourcePath.end();
    }

    // B met among A's entries, by its identity under any name; by its name where B could not be opened.
    bool IsDestination(const std::string& name, const std::string& sourcePath,
                       const std::optional<FileIdentity>& identity) const {
        if (FDestIdentity) {
            return identity == FDestIdentity;
        }
        return !FDestName.empty() && SamePathText(name, FDestName) &&
               SamePathText(WithoutTrailingSeparators(ExpandPath(sourcePath)), FDestFull);
    }

    const std::string FDestFull;
    const std::string FDestName;
    std::unique_ptr<FolderHandle> FSource;
    std::unique_ptr<FolderHandle> FDest;
    std::optional<FileIdentity> FDestIdentity;
    // The identities of the source folders from A down to the folder being walked.
    std::vector<std::optional<FileIdentity>> FSourcePath;
};

} // namespace

void SyncFolder(const std::string& Source, const std::string& Dest) {
    MirrorWalk walk(Source, Dest);
    walk.Run(Source, Dest);
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
