#include "app/core/Mirror.h"

#include "app/core/FileRoutines.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace pardova {

using namespace platform;

namespace {

// What one pass carries from entry to entry: its count of failed entries and the copies still pending in
// its batch. While copies are pending, the lines that follow them are held back, so that a copy that fails
// when its batch is finished gets its failure line right after its own copy line, and the log reads
// exactly as if each copy had finished at once.
class PassState {
public:
    PassState() : FBatch(NewCopyBatch()) {}

    void Log(const std::string& line) {
        if (FBatch->Empty() && FHeld.empty()) {
            AddToLog(line);
        } else {
            FHeld.push_back(line);
        }
    }

    void Failed(uint32_t error) {
        ++FFailures;
        Log(FailureLine(error));
    }

    // Copies one file (its copy line already logged); a failure found now or when the batch is finished
    // gets its line after the copy line.
    void Copy(FolderHandle& destFolder, FolderHandle& sourceFolder, const std::string& name,
              const std::string& sourcePath, const std::string& destPath) {
        uint32_t error = 0;
        if (!destFolder.CopyFileHere(sourceFolder, name, sourcePath, name, destPath, &error, FBatch.get(),
                                     FHeld.size())) {
            Failed(error);
        } else if (FBatch->Full()) {
            Finish();
        }
    }

    // Finishes the pending copies and writes the lines held back, failure lines in their places.
    void Finish() {
        std::vector<std::pair<uint64_t, uint32_t>> failures;
        FBatch->Finish([&failures](uint64_t tag, uint32_t error) { failures.emplace_back(tag, error); });
        std::vector<std::string> held;
        held.swap(FHeld);
        size_t next = 0;
        for (size_t i = 0; i <= held.size(); ++i) {
            for (; next < failures.size() && failures[next].first == i; ++next) {
                ++FFailures;
                AddToLog(FailureLine(failures[next].second));
            }
            if (i < held.size()) {
                AddToLog(held[i]);
            }
        }
    }

    // Before an exception leaves the pass: the pending copies are finished all the same.
    void FinishCopies() noexcept {
        try {
            FBatch->Finish([this](uint64_t, uint32_t) { ++FFailures; });
        } catch (...) {
        }
        FHeld.clear();
    }

    int Failures() const { return FFailures; }

private:
    static std::string FailureLine(uint32_t error) { return "  ошибка: " + SysErrorMessage(error); }

    std::unique_ptr<CopyBatch> FBatch;
    std::vector<std::string> FHeld;
    int FFailures = 0;
};

// One pass. Both sides are walked through folders held open, so that every entry is reached by its name in
// a folder the walk has already checked: below B nothing is entered or written through a link, and no
// path length limits how deep the walk goes. Each entry is compared by fresh reads when the walk reaches it.
class MirrorWalk {
public:
    MirrorWalk(const std::string& source, const std::string& dest, PassState& pass)
        : FPass(pass), FDestFull(WithoutTrailingSeparators(ExpandPath(dest))), FDestName(NamePart(FDestFull)) {
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
        // What killed attempts left in this folder of B is cleaned up before the first copy into it: a
        // folder with nothing to copy is not read a second time.
        bool staleRemoved = false;
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
                FPass.Log(PathForLog(sourcePath));
                MirrorFile(sourceFolder, destFolder, entry.Name, sourcePath, destPath, destIsSource, staleRemoved);
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
        FPass.Log(PathForLog(sourcePath));
        std::unique_ptr<FolderHandle> dest;
        bool subDestIsSource = false;
        if (destFolder != nullptr) {
            uint32_t error = 0;
            if (!destIsSource && !destFolder->MakeSubfolder(name, destPath, source.get(), &error)) {
                // An existing folder is fine, a link to one too (it is never entered); anything else is not.
                const std::optional<FileAttributeData> there = destFolder->GetEntryData(name, destPath);
                if (!there || (there->Attributes & kAttrDirectory) == 0) {
                    FPass.Failed(error);
                }
            }
            dest = destFolder->OpenSubfolder(name, destPath, false);
            if (dest && source && !destIsSource) {
                const std::optional<FileAttributeData> from = sourceFolder.GetEntryData(name, sourcePath);
                const std::optional<FileAttributeData> own = destFolder->GetEntryData(name, destPath);
                if (from && own) {
                    destFolder->RestrictLike(name, *from, *own);
                }
            }
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
    void MirrorFile(FolderHandle& sourceFolder, FolderHandle* destFolder, const std::string& name,
                    const std::string& sourcePath, const std::string& destPath, bool destIsSource, bool& staleRemoved) {
        if (destFolder != nullptr) {
            uint32_t error = 0;
            const std::optional<FileAttributeData> dest = destFolder->GetEntryData(name, destPath, &error);
            const std::optional<uint32_t> destAttributes =
                dest ? std::optional<uint32_t>(dest->Attributes) : std::nullopt;
            if (detail::PlainFileExistsGiven(destPath, destAttributes, error) && dest) {
                const std::optional<FileAttributeData> source = sourceFolder.GetEntryData(name, sourcePath);
                if (source && source->WriteTime == dest->WriteTime && source->Size == dest->Size) {
                    if (!destIsSource) {
                        // A copy never stays more open than its source, even when its content is current.
                        destFolder->RestrictLike(name, *source, *dest);
                    }
                    return;
                }
            }
        }
        FPass.Log("  копирую -> " + PathForLog(destPath));
        if (destFolder == nullptr) {
            // No folder of B's own to copy into (missing, not made, a link, or a folder being read).
            FPass.Failed(kErrPathNotFound);
        } else if (!destIsSource) {
            if (!staleRemoved) {
                destFolder->RemoveStaleTemporaries(sourceFolder);
                staleRemoved = true;
            }
            FPass.Copy(*destFolder, sourceFolder, name, sourcePath, destPath);
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

    PassState& FPass;
    const std::string FDestFull;
    const std::string FDestName;
    std::unique_ptr<FolderHandle> FSource;
    std::unique_ptr<FolderHandle> FDest;
    std::optional<FileIdentity> FDestIdentity;
    // The identities of the source folders from A down to the folder being walked.
    std::vector<std::optional<FileIdentity>> FSourcePath;
};

} // namespace

int SyncFolderCounting(const std::string& Source, const std::string& Dest) {
    PassState pass;
    try {
        MirrorWalk walk(Source, Dest, pass);
        walk.Run(Source, Dest);
    } catch (...) {
        pass.FinishCopies();
        throw;
    }
    pass.Finish();
    return pass.Failures();
}

void SyncFolder(const std::string& Source, const std::string& Dest) { (void)SyncFolderCounting(Source, Dest); }

bool SameWriteTime(const std::string& FileA, const std::string& FileB) {
    const std::optional<FileAttributeData> a = Fs().GetAttributeData(FileA);
    if (!a) {
        return false;
    }
    const std::optional<FileAttributeData> b = Fs().GetAttributeData(FileB);
    return b.has_value() && a->WriteTime == b->WriteTime;
}

int64_t GetFileSize64(const std::string& FileName) {
    const std::optional<FileAttributeData> data = Fs().GetAttributeData(FileName);
    return data ? static_cast<int64_t>(data->Size) : -1;
}

} // namespace pardova
