#pragma once
// A pass's lines, queued so that the walk reads on while the lines of what it has read go to the log: they
// wait for the walk's next change and, after a long run of lines without one, go to a thread of their own.
// The lines reach the log in their order, handed over together where they wait together, each as the log
// itself writes it (its time read when it is written, its rotation, its checks): the file reads exactly as
// if the walk had written them one by one. The walk calls Settle before it changes anything, so that every
// change comes after its lines and none after a line that failed, just as when each line is written at once.

#include "log/core/LogSink.h"

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pardova {

class QueuedLog final : public LogSink {
public:
    // Writes to `target`.
    explicit QueuedLog(LogSink& target);
    // Writes what is still queued (its failure is dropped: call Settle to see it) and ends the thread.
    ~QueuedLog() override;
    QueuedLog(const QueuedLog&) = delete;
    QueuedLog& operator=(const QueuedLog&) = delete;

    // Queues one line. Raises what an earlier line raised: after a failed line no later one is written.
    // The lines wait for the next Settle until a run of them has come without one; from then on a thread
    // of their own writes them (or, where no thread can be started, each full queue is written here).
    void Write(const std::string& line) override;
    // Queues a line of a burst that comes between two changes (lines held behind copies, released once the
    // copies are finished): never handed to the thread, written by the next Settle.
    void WriteBetweenChanges(const std::string& line);
    // Returns once every line queued so far is written (those still queued are written here, on the
    // caller's thread, together where the log allows); raises what a line raised.
    void Settle();

private:
    void Add(const std::string& line, bool mayHandOver);
    void Run();
    // Writes lines [0, count) of FWriting; on failure keeps it and drops the rest. Called without the lock,
    // by whoever holds the writing (FWriterBusy).
    void WriteTaken(size_t count);
    void TakeQueue(size_t& count);
    void WriteQueueHere(std::unique_lock<std::mutex>& lock);
    void RaiseFailure();

    LogSink& FTarget;
    std::mutex FLock;
    std::condition_variable FWork;
    std::condition_variable FDone;
    // The lines queued: the first FCount of FQueue (whose texts keep their buffers for the next lines),
    // and their bytes.
    std::vector<std::string> FQueue;
    size_t FCount = 0;
    size_t FBytes = 0;
    // The lines being written, by the thread or by Settle, whichever holds the writing.
    std::vector<std::string> FWriting;
    bool FWriterBusy = false;
    // Lines queued since the last Settle, counted up to the run after which the thread takes over.
    size_t FSinceSettle = 0;
    // The thread waits without a time limit (after a while with nothing to write), so a new line wakes it.
    bool FWriterAsleep = false;
    bool FStop = false;
    std::exception_ptr FFailure;
    // A thread was refused: none is tried again.
    bool FNoThread = false;
    std::thread FThread;
};

} // namespace pardova
