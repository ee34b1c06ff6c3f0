#pragma once
// Reads the attribute data of the files the mirror is about to compare, on a second thread, while the
// walk itself writes the log line of the entry before. Reading has no effect on the file system, so doing
// it early changes nothing but the moment of the read; the walk decides which early reads it may trust.

#include "platform/FileSystem.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pardova {

// One file entry to compare: what both sides' reads gave, once Ready. The folder handles belong to the
// walk's level that posted the item and outlive it.
struct PrefetchItem {
    platform::FolderHandle* SourceFolder = nullptr;
    platform::FolderHandle* DestFolder = nullptr;
    std::string Name;
    // The folders' paths, ending in a separator; the reading thread composes the full paths from them, so
    // that the walk's thread spends nothing on them. They belong to the walk's level, as the handles do.
    const std::string* SourceFolderPath = nullptr;
    const std::string* DestFolderPath = nullptr;

    // Written by the reading thread before Ready is set.
    std::optional<platform::FileAttributeData> Dest;
    uint32_t DestError = 0;
    std::optional<platform::FileAttributeData> Source;
    // Set under the reader's lock; read without it only once Wait has seen it set.
    std::atomic<bool> Ready{false};
    class AttributePrefetch* Reader = nullptr;

    // The walk's own mark: something it did since the item was posted may have changed what was read.
    bool Stale = false;
};

class AttributePrefetch {
public:
    AttributePrefetch();
    ~AttributePrefetch();
    AttributePrefetch(const AttributePrefetch&) = delete;
    AttributePrefetch& operator=(const AttributePrefetch&) = delete;

    // Queues items for reading in the order given. They must stay in place until Ready.
    void Post(const std::vector<PrefetchItem*>& items);
    // Until the item has been read (at once for an item never posted).
    static void Wait(PrefetchItem& item);

private:
    void Run();
    static void Read(PrefetchItem& item, std::string& path);

    std::mutex FLock;
    std::condition_variable FWork;
    std::condition_variable FDone;
    std::deque<PrefetchItem*> FQueue;
    bool FStop = false;
    std::thread FThread;
};

} // namespace pardova
