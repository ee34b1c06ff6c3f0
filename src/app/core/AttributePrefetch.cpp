#include "app/core/AttributePrefetch.h"

namespace pardova {

using namespace platform;

AttributePrefetch::AttributePrefetch() : FThread([this] { Run(); }) {}

AttributePrefetch::~AttributePrefetch() {
    {
        const std::lock_guard<std::mutex> guard(FLock);
        FStop = true;
    }
    FWork.notify_one();
    FThread.join();
}

void AttributePrefetch::Post(const std::vector<PrefetchItem*>& items) {
    if (items.empty()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> guard(FLock);
        for (PrefetchItem* item : items) {
            item->Reader = this;
        }
        FQueue.insert(FQueue.end(), items.begin(), items.end());
    }
    FWork.notify_one();
}

// A mutex and a condition rather than waiting on the flag itself: the flag's own wait is not served
// alike by every runtime this builds for.
void AttributePrefetch::Wait(PrefetchItem& item) {
    if (item.Reader == nullptr || item.Ready.load(std::memory_order_acquire)) {
        return;
    }
    AttributePrefetch& reader = *item.Reader;
    std::unique_lock<std::mutex> lock(reader.FLock);
    // Items are read in the order posted, so the one waited for is usually next in line: reading it here
    // costs no more than waiting, and spares both threads a wake-up.
    if (!reader.FQueue.empty() && reader.FQueue.front() == &item) {
        reader.FQueue.pop_front();
        lock.unlock();
        thread_local std::string path;
        Read(item, path);
        item.Ready.store(true, std::memory_order_release);
        return;
    }
    reader.FDone.wait(lock, [&item] { return item.Ready.load(std::memory_order_acquire); });
}

// The same reads, in the same order, as the comparison makes: the source only matters when the
// destination is there.
void AttributePrefetch::Read(PrefetchItem& item, std::string& path) {
    path.assign(*item.DestFolderPath).append(item.Name);
    item.Dest = item.DestFolder->GetEntryData(item.Name, path, &item.DestError);
    if (item.Dest) {
        path.assign(*item.SourceFolderPath).append(item.Name);
        item.Source = item.SourceFolder->GetEntryData(item.Name, path);
    }
}

void AttributePrefetch::Run() {
    std::string path;
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FWork.wait(lock, [this] { return FStop || !FQueue.empty(); });
        // Items still queued at the end are read all the same: their owners wait for them to be Ready.
        if (FQueue.empty()) {
            return;
        }
        PrefetchItem* item = FQueue.front();
        FQueue.pop_front();
        lock.unlock();
        Read(*item, path);
        lock.lock();
        item->Ready.store(true, std::memory_order_release);
        FDone.notify_all();
    }
}

} // namespace pardova
