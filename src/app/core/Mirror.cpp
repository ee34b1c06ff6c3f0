#include "app/core/Mirror.h"

#include "app/core/FileRoutines.h"
#include "log/core/QueuedLog.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Handles.h"
#include "platform/core/Path.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace pardova {

using namespace platform;

namespace {

// What one pass carries from entry to entry: its count of failed entries and the copies still pending in
// its batch. While copies are pending, the lines that follow them are held back, so that a copy that fails
// when its flush ends gets its failure line right after its own copy line, and the log reads exactly as if
// each copy had finished at once. A copy is tagged with the number of the pass's lines that come before its
// failure line's place (its copy line the last of them); the lines up to the oldest pending copy's place go
// out as soon as the copies before it are finished. The lines go to the log on a thread of their own while
// the walk reads on; before the walk changes anything in B it waits until every line before is written.
class PassState {
public:
    explicit PassState(LogSink& log) : FLog(log), FBatch(NewCopyBatch()) {}

    // Before anything is made, copied, removed or restricted in B: every line so far is in the log, and a
    // line that failed ends the pass here, before the change.
    void BeforeChange() { FLog.Settle(); }

    void Log(const std::string& line) {
        if (!FBatch->Empty()) {
            Progress();
        }
        if (FBatch->Empty()) {
            ++FWritten;
            FLog.Write(line);
        } else {
            FHeld.push_back(line);
        }
    }

    void Failed(uint32_t error) {
        ++FFailures;
        Log(FailureLine(error));
    }

    // Copies one file (its copy line already logged); a failure found now or when its flush ends gets its
    // line after the copy line. A copy that finds no handle left is tried again as long as `relieve` lets go
    // of some.
    void Copy(FolderHandle& destFolder, FolderHandle& sourceFolder, const std::string& name,
              const std::function<bool()>& relieve) {
        for (;;) {
            BeforeChange();
            uint32_t error = 0;
            if (destFolder.CopyFileHere(sourceFolder, name, name, &error, FBatch.get(), FWritten + FHeld.size())) {
                Progress();
                return;
            }
            if (!IsOutOfHandlesError(error) || !relieve()) {
                Failed(error);
                return;
            }
        }
    }

    bool HasPendingCopies() const { return !FBatch->Empty(); }

    // Finishes every pending copy and writes the lines held back, failure lines in their places.
    void Finish() {
        FBatch->Finish([this](uint64_t tag, uint32_t error) { Release(tag, error); });
        Release(FWritten + FHeld.size(), std::nullopt);
    }

    // At the end of the pass: every line is in the log.
    void Settle() { FLog.Settle(); }

    // Before an exception leaves the pass: the pending copies are finished all the same, and the lines
    // written before it are in the log. A line that failed before is the pass's first failure: that one
    // leaves the pass.
    void FinishCopies() {
        try {
            FBatch->Finish([this](uint64_t, uint32_t) { ++FFailures; });
        } catch (...) {
        }
        FHeld.clear();
        FLog.Settle();
    }

    int Failures() const { return FFailures; }

private:
    static std::string FailureLine(uint32_t error) { return "  ошибка: " + SysErrorMessage(error); }

    // Finishes the copies whose flush has ended and writes the lines that no pending copy holds back.
    void Progress() {
        const std::optional<uint64_t> oldest =
            FBatch->Progress([this](uint64_t tag, uint32_t error) { Release(tag, error); });
        Release(oldest.value_or(FWritten + FHeld.size()), std::nullopt);
    }

    // Writes the held lines that come before line `upTo`, then the failure line of a copy tagged `upTo`.
    void Release(uint64_t upTo, std::optional<uint32_t> error) {
        // Released in bursts between copies, these are written by the next change: it waits for them.
        for (; FWritten < upTo && !FHeld.empty(); ++FWritten) {
            FLog.WriteBetweenChanges(FHeld.front());
            FHeld.pop_front();
        }
        if (error) {
            ++FFailures;
            FLog.WriteBetweenChanges(FailureLine(*error));
        }
    }

    QueuedLog FLog;
    std::unique_ptr<CopyBatch> FBatch;
    // The lines held back, and the number of lines of the pass written before them.
    std::deque<std::string> FHeld;
    uint64_t FWritten = 0;
    int FFailures = 0;
};

// The least number of handles the walk works with: A's and B's folders, the folder being walked with its
// search and its counterpart in B, and a sub-folder of each side being opened.
constexpr size_t kLeastWalkHandles = 8;

// One pass. Both sides are walked through folders held open, so that every entry is reached by its name in
// a folder the walk has already checked: below B nothing is entered or written through a link, and no
// path length limits how deep the walk goes. Each entry is compared by fresh reads when the walk reaches it.
//
// The walk keeps its own stack of folders, one frame per level, so that the depth of the tree does not
// depend on the thread's stack. Each frame holds up to three handles (the source folder, its search, the
// folder of B); where the process's handles would run short, the shallowest frames let go of theirs, a
// search after reading the rest of its entries, so that they still come in the platform's order. A frame
// that the walk returns to is opened again step by step, by name, below A's folder (which the walk always
// holds), each step checked to be the very folder that was there before.
class MirrorWalk {
public:
    MirrorWalk(FileSystem& fs, const std::string& source, const std::string& dest, PassState& pass)
        : FFs(fs), FPass(pass), FDestFull(WithoutTrailingSeparators(FFs.GetFullPath(dest))),
          FDestName(NamePart(FDestFull)), FBudget(std::max(WalkHandleBudget(), kLeastWalkHandles)) {
        // B itself, and the folders above it, may be reached through links: that is the user's choice.
        FDest = FFs.OpenFolder(dest);
        if (FDest) {
            FDestIdentity = FDest->Identity();
        }
        FSource = FFs.OpenFolder(source);
    }

    void Run(const std::string& source, const std::string& dest) {
        if (!FSource) {
            // A that is not there holds nothing; A that is there but does not open is a part not visited.
            uint32_t error = 0;
            if (FFs.GetAttributes(source, &error) || !IsNotThereError(error)) {
                FPass.Failed(error != 0 ? error : kErrAccessDenied);
            }
            return;
        }
        Frame root;
        root.SourceIdentity = FSource->Identity();
        // A and B the same folder: every file compares equal with itself, and nothing is written.
        root.DestIsSource = root.SourceIdentity && FDestIdentity == root.SourceIdentity;
        root.DestIdentity = FDestIdentity;
        root.HasDest = FDest != nullptr;
        root.Source = std::move(FSource);
        root.Dest = std::move(FDest);
        FSourcePath = IncludeSlash(source);
        FDestPath = IncludeSlash(dest);
        root.SourceLength = FSourcePath.size();
        root.DestLength = FDestPath.size();
        uint32_t error = 0;
        root.Search = Opening(error, [&root](uint32_t& e) { return root.Source->TrySearch(e); });
        if (root.Search == nullptr) {
            if (error != 0) {
                FPass.Failed(error);
            }
            return;
        }
        FFrames.push_back(std::move(root));
        Walk();
    }

private:
    struct Frame {
        std::unique_ptr<FolderHandle> Source;    // null while released
        std::unique_ptr<FolderHandle> Dest;      // null where there is no folder of B's own, or while released
        std::unique_ptr<DirectorySearch> Search; // null once its entries are read into Rest
        std::deque<DirEntry> Rest;               // the entries still to come, read before the search let go
        std::string Name;                        // the folder's name in its parent; empty for A
        std::optional<FileIdentity> SourceIdentity;
        std::optional<FileIdentity> DestIdentity;
        // The lengths of the walk's path texts up to this folder's final separator.
        size_t SourceLength = 0;
        size_t DestLength = 0;
        bool HasDest = false;  // whether the folder of B is one to write into (held, or to be opened again)
        bool Released = false; // its folders let go: opened again when the walk comes back to it
        bool DestIsSource = false;
        bool StaleRemoved = false;
        // The folder of B was made by this pass: what it holds the pass has put there, so a file of A has no
        // copy there to compare with (one made there meanwhile by another is met by the copy itself).
        bool DestMadeNow = false;
    };

    // Takes the next entry of the deepest folder until every folder is done.
    void Walk() {
        DirEntry entry;
        while (!FFrames.empty()) {
            const size_t top = FFrames.size() - 1;
            if (FFrames[top].Released && (FFrames[top].Rest.empty() || !Reopen(top))) {
                PopFrame();
                continue;
            }
            if (!NextEntry(FFrames[top], entry)) {
                PopFrame();
                continue;
            }
            if (entry.Name == "." || entry.Name == "..") {
                continue;
            }
            const Frame& frame = FFrames[top];
            FSourcePath.resize(frame.SourceLength);
            FSourcePath += entry.Name;
            FDestPath.resize(frame.DestLength);
            FDestPath += entry.Name;
            if ((entry.Attributes & kAttrDirectory) != 0) {
                MirrorSubfolder(top, entry.Name);
            } else {
                FPass.Log(PathForLog(FSourcePath));
                MirrorFile(FFrames[top], entry.Name);
            }
        }
    }

    static bool NextEntry(Frame& frame, DirEntry& entry) {
        if (frame.Search) {
            return frame.Search->Next(entry);
        }
        if (frame.Rest.empty()) {
            return false;
        }
        entry = std::move(frame.Rest.front());
        frame.Rest.pop_front();
        return true;
    }

    void PopFrame() {
        FFrames.pop_back();
        FFirstHeld = std::min(FFirstHeld, FFrames.size());
    }

    // The sub-folder of the folder of frame `at` whose name and paths the walk's texts end in.
    void MirrorSubfolder(size_t at, const std::string& name) {
        Frame& parent = FFrames[at];
        MakeRoom(3);
        uint32_t sourceError = 0;
        std::unique_ptr<FolderHandle> source =
            Opening(sourceError, [&](uint32_t& e) { return parent.Source->TryOpenSubfolder(name, true, e); });
        const std::optional<FileIdentity> sourceIdentity = source ? source->Identity() : std::nullopt;
        if (IsDestination(name, FSourcePath, sourceIdentity)) {
            return; // mirroring B into itself would nest without end
        }
        FPass.Log(PathForLog(FSourcePath));
        std::unique_ptr<FolderHandle> dest;
        std::optional<FileIdentity> destIdentity;
        bool subDestIsSource = false;
        bool destMadeNow = false;
        if (parent.Dest != nullptr) {
            FolderHandle& destFolder = *parent.Dest;
            // An existing folder is fine, a link to one too (it is never entered); anything else is not. A
            // folder that is there already is left as it is, with no attempt to make it.
            const auto isFolder = [&destFolder, &name] {
                const std::optional<FileAttributeData> there = destFolder.GetEntryData(name);
                return there && (there->Attributes & kAttrDirectory) != 0;
            };
            uint32_t error = 0;
            if (!parent.DestIsSource && !isFolder()) {
                FPass.BeforeChange();
                destMadeNow = destFolder.MakeSubfolder(name, source.get(), &error);
                if (!destMadeNow && !isFolder()) {
                    FPass.Failed(error);
                }
            }
            uint32_t destError = 0;
            dest = Opening(destError, [&](uint32_t& e) { return destFolder.TryOpenSubfolder(name, false, e); });
            if (dest && source && !parent.DestIsSource) {
                const std::optional<FileAttributeData> from = parent.Source->GetEntryData(name);
                const std::optional<FileAttributeData> own = destFolder.GetEntryData(name);
                if (from && own && destFolder.Restricts(*from, *own)) {
                    FPass.BeforeChange();
                    destFolder.RestrictLike(name, *from, *own);
                }
            }
            if (dest) {
                destIdentity = dest->Identity();
                if (destIdentity && destIdentity == sourceIdentity) {
                    subDestIsSource = true;
                } else if (destIdentity && OnSourcePath(*destIdentity)) {
                    dest.reset(); // A inside B: this destination is one of the folders being read
                }
            }
        }
        if (!source) {
            // A folder that is there but does not open: the pass says so rather than pass it over as empty.
            // One gone since the search listed it held nothing.
            if (!IsNotThereError(sourceError)) {
                FPass.Failed(sourceError);
            }
            return;
        }
        // A folder reached through a link may lead back onto the walk's own path: entering it would repeat
        // the walk without end.
        if (sourceIdentity && OnSourcePath(*sourceIdentity)) {
            return;
        }
        uint32_t searchError = 0;
        std::unique_ptr<DirectorySearch> search =
            Opening(searchError, [&source](uint32_t& e) { return source->TrySearch(e); });
        if (search == nullptr) {
            if (searchError != 0) {
                FPass.Failed(searchError);
            }
            return;
        }
        Frame frame;
        frame.Source = std::move(source);
        frame.Search = std::move(search);
        frame.HasDest = dest != nullptr;
        frame.Dest = std::move(dest);
        frame.Name = name;
        frame.SourceIdentity = sourceIdentity;
        frame.DestIdentity = destIdentity;
        frame.DestIsSource = subDestIsSource;
        frame.DestMadeNow = destMadeNow && frame.Dest != nullptr;
        // Nothing of a dead attempt can be in a folder made just now.
        frame.StaleRemoved = frame.DestMadeNow;
        FSourcePath += PathDelimiter();
        FDestPath += PathDelimiter();
        frame.SourceLength = FSourcePath.size();
        frame.DestLength = FDestPath.size();
        FFrames.push_back(std::move(frame));
    }

    // The three skip tests in their order, each file's attributes read once: the destination's serve both
    // the existence test and the comparisons.
    void MirrorFile(Frame& frame, const std::string& name) {
        FolderHandle* destFolder = frame.Dest.get();
        FolderHandle& sourceFolder = *frame.Source;
        if (destFolder != nullptr && !frame.DestMadeNow) {
            uint32_t error = 0;
            const std::optional<FileAttributeData> dest = destFolder->GetEntryData(name, &error);
            const std::optional<uint32_t> destAttributes =
                dest ? std::optional<uint32_t>(dest->Attributes) : std::nullopt;
            if (PlainFileExistsGiven(FFs, FDestPath, destAttributes, error) && dest) {
                const std::optional<FileAttributeData> source = sourceFolder.GetEntryData(name);
                if (source && CopyIsCurrent(*source, *dest)) {
                    // A copy never stays more open than its source, even when its content is current.
                    if (!frame.DestIsSource && destFolder->Restricts(*source, *dest)) {
                        FPass.BeforeChange();
                        destFolder->RestrictLike(name, *source, *dest);
                    }
                    return;
                }
            }
        }
        FPass.Log("  копирую -> " + PathForLog(FDestPath));
        if (destFolder == nullptr) {
            // No folder of B's own to copy into (missing, not made, a link, or a folder being read).
            FPass.Failed(kErrPathNotFound);
        } else if (!frame.DestIsSource) {
            if (!frame.StaleRemoved) {
                FPass.BeforeChange();
                destFolder->RemoveStaleTemporaries(sourceFolder);
                frame.StaleRemoved = true;
            }
            FPass.Copy(*destFolder, sourceFolder, name, [this] { return Relieve(); });
        }
    }

    // ---- the handles the walk holds ----

    // Runs `open` (which gives null with an error code on failure) until it succeeds, fails for another
    // reason than a lack of handles, or nothing more can be let go.
    template <typename Open> auto Opening(uint32_t& error, Open open) -> decltype(open(error)) {
        for (;;) {
            error = 0;
            auto opened = open(error);
            if (opened || !IsOutOfHandlesError(error) || !Relieve()) {
                return opened;
            }
        }
    }

    static size_t HandlesOf(const Frame& frame) {
        return (frame.Source ? 1 : 0) + (frame.Dest ? 1 : 0) + (frame.Search ? 1 : 0);
    }

    // Frames 1 to FFirstHeld - 1 have let go of their handles; A's frame holds its folders throughout.
    size_t Held() const {
        size_t held = FFrames.empty() ? 0 : HandlesOf(FFrames.front());
        for (size_t i = std::max<size_t>(FFirstHeld, 1); i < FFrames.size(); ++i) {
            held += HandlesOf(FFrames[i]);
        }
        return held;
    }

    // Lets go of the shallowest handles that the walk can do without now (never the folder being walked,
    // nor A's folders); false when there are none.
    bool ReleaseOne() {
        if (FFrames.size() < 2) {
            return false;
        }
        Frame& root = FFrames.front();
        if (root.Search) {
            DrainSearch(root);
            return true;
        }
        while (FFirstHeld < FFrames.size() - 1) {
            Frame& frame = FFrames[FFirstHeld++];
            if (HandlesOf(frame) != 0) {
                DrainSearch(frame);
                frame.Source.reset();
                frame.Dest.reset();
                frame.Released = true;
                return true;
            }
            frame.Released = true;
        }
        return false;
    }

    static void DrainSearch(Frame& frame) {
        if (!frame.Search) {
            return;
        }
        DirEntry entry;
        while (frame.Search->Next(entry)) {
            frame.Rest.push_back(std::move(entry));
        }
        frame.Search.reset();
    }

    // Makes room for `count` more handles within the budget, as far as letting go allows.
    void MakeRoom(size_t count) {
        while (Held() + count > FBudget && ReleaseOne()) {
        }
    }

    // After an open failed for want of handles: lets go of some, the walk's own first, then those of the
    // pending copies, and keeps the budget below what the process turned out to allow. False when nothing
    // is left to let go of.
    bool Relieve() {
        if (ReleaseOne()) {
            FBudget = std::max(Held(), kLeastWalkHandles);
            return true;
        }
        if (FPass.HasPendingCopies()) {
            FPass.Finish();
            return true;
        }
        return false;
    }

    // Opens frame `at` and, as the budget allows, the frames above it again, step by step below A. A step
    // that does not lead to the folder that was there (it is gone, or another took its place) ends the
    // frames from there on: the rest of the source folder is not visited, or the folder of B is not
    // written into, and the pass counts it as failed. False when frame `at` cannot be walked further.
    bool Reopen(size_t at) {
        // The frames from `keepFrom` to `at` keep their folders; those below are opened only on the way.
        const size_t room = FBudget > Held() + 5 ? FBudget - Held() - 5 : 0;
        const size_t keep = std::clamp<size_t>(room / 2, 1, at);
        const size_t keepFrom = at + 1 - keep;
        FolderHandle* source = FFrames.front().Source.get();
        FolderHandle* dest = FFrames.front().Dest.get();
        std::unique_ptr<FolderHandle> sourceOnTheWay;
        std::unique_ptr<FolderHandle> destOnTheWay;
        for (size_t i = 1; i <= at; ++i) {
            Frame& frame = FFrames[i];
            const bool kept = i >= keepFrom;
            uint32_t error = 0;
            std::unique_ptr<FolderHandle> next =
                Opening(error, [&](uint32_t& e) { return source->TryOpenSubfolder(frame.Name, true, e); });
            if (!next || !frame.SourceIdentity || next->Identity() != frame.SourceIdentity) {
                for (size_t j = i; j <= at; ++j) {
                    FFrames[j].Rest.clear();
                }
                FPass.Failed(next ? kErrFileNotFound : error);
                FFirstHeld = std::min(FFirstHeld, keepFrom);
                return false;
            }
            if (kept) {
                frame.Source = std::move(next);
                source = frame.Source.get();
                frame.Released = false;
            } else {
                sourceOnTheWay = std::move(next);
                source = sourceOnTheWay.get();
            }
            if (!frame.HasDest) {
                dest = nullptr;
                continue;
            }
            std::unique_ptr<FolderHandle> nextDest;
            if (dest != nullptr) {
                nextDest = Opening(error, [&](uint32_t& e) { return dest->TryOpenSubfolder(frame.Name, false, e); });
            }
            if (!nextDest || !frame.DestIdentity || nextDest->Identity() != frame.DestIdentity) {
                // The rest of the source is still walked and logged, and nothing is written there.
                for (size_t j = i; j <= at; ++j) {
                    FFrames[j].HasDest = false;
                }
                FPass.Failed(nextDest ? kErrFileNotFound : error);
                dest = nullptr;
                continue;
            }
            if (kept) {
                frame.Dest = std::move(nextDest);
                dest = frame.Dest.get();
            } else {
                destOnTheWay = std::move(nextDest);
                dest = destOnTheWay.get();
            }
        }
        FFirstHeld = keepFrom;
        return true;
    }

    bool OnSourcePath(const FileIdentity& identity) const {
        return std::any_of(FFrames.begin(), FFrames.end(),
                           [&identity](const Frame& frame) { return frame.SourceIdentity == identity; });
    }

    // B met among A's entries, by its identity under any name; by its name where B could not be opened.
    bool IsDestination(const std::string& name, const std::string& sourcePath,
                       const std::optional<FileIdentity>& identity) const {
        if (FDestIdentity) {
            return identity == FDestIdentity;
        }
        return !FDestName.empty() && SamePathText(name, FDestName) &&
               SamePathText(WithoutTrailingSeparators(FFs.GetFullPath(sourcePath)), FDestFull);
    }

    FileSystem& FFs;
    PassState& FPass;
    const std::string FDestFull;
    const std::string FDestName;
    std::unique_ptr<FolderHandle> FSource;
    std::unique_ptr<FolderHandle> FDest;
    std::optional<FileIdentity> FDestIdentity;
    // From A down to the folder being walked. Their paths are prefixes of one text per side (below), so
    // that a deep tree costs its depth, not its depth squared, in path text.
    std::vector<Frame> FFrames;
    size_t FFirstHeld = 1;
    size_t FBudget;
    // The path texts of the entry being handled, each frame's folder a prefix of them.
    std::string FSourcePath;
    std::string FDestPath;
};

} // namespace

int SyncFolderCounting(FileSystem& Fs, LogSink& Log, const std::string& Source, const std::string& Dest) {
    PassState pass(Log);
    try {
        MirrorWalk walk(Fs, Source, Dest, pass);
        walk.Run(Source, Dest);
    } catch (...) {
        pass.FinishCopies();
        throw;
    }
    pass.Finish();
    pass.Settle();
    return pass.Failures();
}

void SyncFolder(const std::string& Source, const std::string& Dest) {
    (void)SyncFolderCounting(NativeFs(), RunLog(), Source, Dest);
}

bool CopyIsCurrent(const FileAttributeData& Source, const FileAttributeData& Copy) {
    return Source.WriteTime == Copy.WriteTime && Source.Size == Copy.Size;
}

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
