#include "log/core/QueuedLog.h"

#include <chrono>
#include <system_error>
#include <utility>

namespace pardova {

namespace {

// The thread is woken when this many lines wait, and otherwise looks for lines every kLookAgain; after
// kRestAfter looks that found none it waits until a line wakes it.
constexpr size_t kWakeAt = 64;
constexpr std::chrono::milliseconds kLookAgain{10};
constexpr unsigned kRestAfter = 20;
// The walk waits while this many lines, or bytes of them, are queued: memory stays flat however far the
// walk could run ahead.
constexpr size_t kMostLines = 1024;
constexpr size_t kMostBytes = size_t{256} * 1024;
// Lines this close after a Settle wait for the next one, which writes them together on the walk's thread:
// a walk that changes things settles after nearly every line, and a thread would only stand in its way.
constexpr size_t kAtOnceAfterSettle = 256;
// A text that once held a very long line gives its buffer back, so that the queue's buffers stay small.
constexpr size_t kKeptCapacity = 4096;

} // namespace

QueuedLog::QueuedLog(LogSink& target) : FTarget(target) {}

QueuedLog::~QueuedLog() {
    try {
        Settle();
    } catch (...) {
        // Seen by whoever called Settle; a destructor has nobody to tell.
    }
    if (!FThread.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(FLock);
        FStop = true;
    }
    FWork.notify_one();
    FThread.join();
}

void QueuedLog::Write(const std::string& line) { Add(line, true); }

void QueuedLog::WriteBetweenChanges(const std::string& line) { Add(line, false); }

void QueuedLog::Add(const std::string& line, bool mayHandOver) {
    std::unique_lock<std::mutex> lock(FLock);
    if (FFailure) {
        RaiseFailure();
    }
    // The thread starts once a run of lines has come with no change between them: a pass that changes
    // things as it goes, whose lines are written at each change, never has one.
    if (mayHandOver && ++FSinceSettle > kAtOnceAfterSettle && !FThread.joinable() && !FNoThread) {
        try {
            FThread = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No thread to be had (a process at its limit of processes): the lines are written here.
            FNoThread = true;
        }
    }
    while (FCount >= kMostLines || FBytes >= kMostBytes) {
        if (!FThread.joinable()) {
            WriteQueueHere(lock);
            break;
        }
        FWork.notify_one();
        FDone.wait(lock);
        if (FFailure) {
            RaiseFailure();
        }
    }
    if (FCount == FQueue.size()) {
        FQueue.emplace_back();
    }
    FQueue[FCount].assign(line);
    ++FCount;
    FBytes += line.size();
    if (FThread.joinable() && (FWriterAsleep || FCount == kWakeAt)) {
        FWriterAsleep = false;
        FWork.notify_one();
    }
}

void QueuedLog::Settle() {
    std::unique_lock<std::mutex> lock(FLock);
    FSinceSettle = 0;
    WriteQueueHere(lock);
}

// Called with the lock held: waits for the thread's lines, then writes what is queued on the caller's
// thread; raises what a line raised.
void QueuedLog::WriteQueueHere(std::unique_lock<std::mutex>& lock) {
    FDone.wait(lock, [this] { return !FWriterBusy; });
    if (!FFailure && FCount != 0) {
        size_t count = 0;
        TakeQueue(count);
        lock.unlock();
        WriteTaken(count);
        lock.lock();
        FWriterBusy = false;
        FDone.notify_all();
    }
    if (FFailure) {
        RaiseFailure();
    }
}

void QueuedLog::Run() {
    std::unique_lock<std::mutex> lock(FLock);
    unsigned emptyLooks = 0;
    // Whether the lines that wait have waited a while: then they are taken however few they are.
    bool waited = false;
    for (;;) {
        if (FStop) {
            return;
        }
        if (FCount != 0 && !FWriterBusy && (FCount >= kWakeAt || waited)) {
            waited = false;
            size_t count = 0;
            TakeQueue(count);
            FDone.notify_all(); // room for the walk again
            lock.unlock();
            WriteTaken(count);
            lock.lock();
            FWriterBusy = false;
            FDone.notify_all();
            continue;
        }
        if (FCount == 0 && emptyLooks >= kRestAfter) {
            FWriterAsleep = true;
            FWork.wait(lock, [this] { return FStop || FCount != 0; });
            FWriterAsleep = false;
            emptyLooks = 0;
            waited = true;
            continue;
        }
        if (!FWork.wait_for(lock, kLookAgain, [this] { return FStop || FCount >= kWakeAt; })) {
            if (FCount == 0) {
                ++emptyLooks;
            } else {
                emptyLooks = 0;
                waited = true;
            }
        }
    }
}

// Called with the lock held: the queued lines become those being written, by the caller.
void QueuedLog::TakeQueue(size_t& count) {
    std::swap(FQueue, FWriting);
    count = FCount;
    FCount = 0;
    FBytes = 0;
    FWriterBusy = true;
}

void QueuedLog::WriteTaken(size_t count) {
    try {
        FTarget.WriteLines(FWriting.data(), count);
    } catch (...) {
        const std::lock_guard<std::mutex> lock(FLock);
        FFailure = std::current_exception();
        // The lines after a failed one are never written, as when the pass ends at the failed line.
        FCount = 0;
        FBytes = 0;
    }
    for (size_t i = 0; i < count; ++i) {
        if (FWriting[i].capacity() > kKeptCapacity) {
            std::string().swap(FWriting[i]);
        }
    }
}

void QueuedLog::RaiseFailure() { std::rethrow_exception(FFailure); }

} // namespace pardova
