#include "app/core/Mirror.h"

#include "app/core/AttributePrefetch.h"
#include "app/core/FileRoutines.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"

#include <deque>
#include <optional>
#include <vector>

namespace pardova {

using namespace platform;

namespace {

// How many entries of one folder are read ahead of the walk, so that memory stays flat however wide a
// folder is.
constexpr size_t kReadAhead = 128;

class MirrorWalk {
public:
    MirrorWalk(const std::string& source, const std::string& dest)
        : FDestFull(WithoutTrailingSeparators(ExpandPath(dest))), FDestName(NamePart(FDestFull)),
          FDestPath(dest) {
        FOpenFolders.push_back({source, std::nullopt, false});
        // Reading ahead is for the platform's own file system; a replacement put in its place sees every
        // call from this thread, in the plain order.
        if (&Fs() == &NativeFs()) {
            FPrefetch.emplace();
            if (const std::string log = RunLogFileName(); !log.empty()) {
                FLogFolder = Fs().GetIdentity(FolderPart(log));
            }
        }
    }

    // destIsNew: the walk has just created the destination folder, so every file in it is copied and
    // reading the destination ahead would only find nothing, in the way of the copies being made there.
    void Walk(const std::string& sourceFolder, const std::string& destFolder, bool destIsNew = false) {
        const std::string source = IncludeSlash(sourceFolder);
        const std::string dest = IncludeSlash(destFolder);
        const std::unique_ptr<DirectorySearch> search = Fs().FindFirst(source + "*.*");
        if (search == nullptr) {
            return;
        }
        Level level(*this, source, dest, destIsNew);
        // Each entry's full paths are composed in these, so that a folder's entries reuse their storage.
        std::string sourcePath = source;
        std::string destPath = dest;
        for (;;) {
            if (level.Pending.empty() && !Fill(level, *search)) {
                break;
            }
            const Ahead current = std::move(level.Pending.front());
            level.Pending.pop_front();
            const DirEntry& entry = current.Entry;
            sourcePath.resize(source.size());
            sourcePath += entry.Name;
            destPath.resize(dest.size());
            destPath += entry.Name;
            if ((entry.Attributes & kAttrDirectory) != 0) {
                if (IsDestination(entry.Name, sourcePath)) {
                    continue; // mirroring B into itself would nest without end
                }
                AddToLog(sourcePath);
                const bool destExisted = !FPrefetch || FolderExists(destPath);
                MakeFolderPath(destPath);
                if (std::optional<FileIdentity> id; MayEnter(sourcePath, entry.Attributes, id)) {
                    FOpenFolders.push_back({sourcePath, id, id.has_value()});
                    Walk(sourcePath, destPath, !destExisted);
                    FOpenFolders.pop_back();
                }
            } else {
                AddToLog(sourcePath);
                MirrorFile(level, current, sourcePath, destPath);
            }
        }
    }

private:
    // One entry taken from the search ahead of the walk, with the reads of a file entry under way.
    struct Ahead {
        DirEntry Entry;
        std::unique_ptr<PrefetchItem> Item;

        Ahead() = default;
        Ahead(Ahead&&) = default;
        Ahead& operator=(Ahead&&) = default;
        // The reading thread may still be filling the item in; it must be done before the item goes.
        ~Ahead() {
            if (Item) {
                AttributePrefetch::Wait(*Item);
            }
        }
    };

    // The walk's state for one folder: its entries read ahead, and both folders held open.
    struct Level {
        Level(MirrorWalk& walk, const std::string& source, const std::string& dest, bool destIsNew)
            : Walk(walk), SourcePath(source), DestPath(dest) {
            // Lines written to a log file inside the folders compared would change what was read ahead.
            ReadsAhead = walk.FPrefetch.has_value() && !destIsNew &&
                         !(walk.FLogFolder && (Fs().GetIdentity(source) == walk.FLogFolder ||
                                               Fs().GetIdentity(dest) == walk.FLogFolder));
            Walk.FLevels.push_back(this);
        }
        ~Level() {
            Pending.clear();
            Walk.FLevels.pop_back();
        }
        Level(const Level&) = delete;
        Level& operator=(const Level&) = delete;

        // Both folders are opened at their first file, for looking entries up by name.
        void OpenFolders() {
            if (!Source) {
                Source = Fs().OpenFolder(SourcePath);
                Dest = Fs().OpenFolder(DestPath);
            }
        }

        MirrorWalk& Walk;
        const std::string& SourcePath;
        const std::string& DestPath;
        std::unique_ptr<FolderHandle> Source;
        std::unique_ptr<FolderHandle> Dest;
        bool ReadsAhead = false;
        std::deque<Ahead> Pending;
    };

    // Takes the next entries from the search and has their files read; false when the search is done.
    bool Fill(Level& level, DirectorySearch& search) {
        std::vector<PrefetchItem*> posted;
        DirEntry entry;
        while (level.Pending.size() < kReadAhead && search.Next(entry)) {
            if (entry.Name == "." || entry.Name == "..") {
                continue;
            }
            Ahead& ahead = level.Pending.emplace_back();
            if (level.ReadsAhead && (entry.Attributes & kAttrDirectory) == 0) {
                level.OpenFolders();
                ahead.Item = std::make_unique<PrefetchItem>();
                PrefetchItem& item = *ahead.Item;
                item.SourceFolder = level.Source.get();
                item.DestFolder = level.Dest.get();
                item.Name = entry.Name;
                item.SourceFolderPath = &level.SourcePath;
                item.DestFolderPath = &level.DestPath;
                posted.push_back(&item);
            }
            ahead.Entry = std::move(entry);
        }
        FPrefetch->Post(posted);
        return !level.Pending.empty();
    }

    // After a copy onto an existing file, what was read ahead about that file (under any of its names) is
    // out of date. Without the file's identity every read ahead counts as out of date.
    void CopiedOnto(const std::optional<FileAttributeData>& dest) {
        if (!dest) {
            return; // a new file: no read ahead found it there
        }
        const FileIdentity none{};
        for (Level* level : FLevels) {
            for (Ahead& ahead : level->Pending) {
                PrefetchItem* item = ahead.Item.get();
                if (item == nullptr || item->Stale) {
                    continue;
                }
                if (dest->Identity == none || !item->Ready.load(std::memory_order_acquire) ||
                    (item->Dest && item->Dest->Identity == dest->Identity) ||
                    (item->Source && item->Source->Identity == dest->Identity)) {
                    item->Stale = true;
                }
            }
        }
    }

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

    // A file read ahead is skipped at once when those reads show the skip and nothing since can have
    // changed them; anything else is decided by reading again now, as the plain walk would.
    static bool SkipsOnReadAhead(PrefetchItem& item) {
        AttributePrefetch::Wait(item);
        if (item.Stale || !item.Dest || !item.Source ||
            (item.Dest->Attributes & (kAttrDirectory | kAttrReparsePoint)) != 0) {
            return false;
        }
        return item.Source->LastWriteTime == item.Dest->LastWriteTime && item.Source->Size == item.Dest->Size;
    }

    // The three skip tests in their order, each file's attributes read once: the destination's serve both
    // the existence test and the comparisons.
    void MirrorFile(Level& level, const Ahead& current, const std::string& sourcePath, const std::string& destPath) {
        if (current.Item && SkipsOnReadAhead(*current.Item)) {
            return;
        }
        level.OpenFolders();
        const std::string& name = current.Entry.Name;
        uint32_t error = 0;
        const std::optional<FileAttributeData> dest = level.Dest->GetEntryData(name, destPath, &error);
        const std::optional<uint32_t> destAttributes =
            dest ? std::optional<uint32_t>(dest->Attributes) : std::nullopt;
        if (detail::PlainFileExistsGiven(destPath, destAttributes, error) && dest) {
            const std::optional<FileAttributeData> source = level.Source->GetEntryData(name, sourcePath);
            if (source && source->LastWriteTime == dest->LastWriteTime && source->Size == dest->Size) {
                return;
            }
        }
        AddToLog("  копирую -> " + destPath);
        Fs().CopyFileReplacing(sourcePath, destPath);
        if (FPrefetch) {
            CopiedOnto(dest);
        }
    }

    const std::string FDestFull;
    const std::string FDestName;
    const std::string FDestPath;
    std::optional<FileIdentity> FDestIdentity;
    bool FDestIdentityRead = false;
    std::vector<OpenFolder> FOpenFolders;
    std::vector<Level*> FLevels;
    std::optional<FileIdentity> FLogFolder;
    // Last, so that the reading thread ends before anything it might touch.
    std::optional<AttributePrefetch> FPrefetch;
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
