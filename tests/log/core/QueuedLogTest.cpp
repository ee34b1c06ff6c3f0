#include "log/core/QueuedLog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace pardova {
namespace {

// Keeps the lines it is given and notes whether two writers were ever inside it at once; fails the line
// numbered `failAt` (counted from 1) and, with a pause, takes its time over each line.
class RecordingSink final : public LogSink {
public:
    explicit RecordingSink(size_t failAt = 0, std::chrono::microseconds pause = {}) : FFailAt(failAt), FPause(pause) {}

    void Write(const std::string& line) override {
        if (FInside.exchange(true)) {
            Overlapped = true;
        }
        ++Attempts;
        if (FPause.count() > 0) {
            std::this_thread::sleep_for(FPause);
        }
        if (Attempts == FFailAt) {
            FInside = false;
            throw std::runtime_error("line " + line + " refused");
        }
        Lines.push_back(line);
        FInside = false;
    }

    std::vector<std::string> Lines;
    size_t Attempts = 0;
    std::atomic<bool> Overlapped{false};

private:
    const size_t FFailAt;
    const std::chrono::microseconds FPause;
    std::atomic<bool> FInside{false};
};

std::vector<std::string> Numbered(size_t count) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < count; ++i) {
        // Some lines long enough to outgrow the queue's kept buffers.
        lines.push_back(std::to_string(i) + (i % 997 == 0 ? std::string(10000, 'x') : std::string(i % 50, 'y')));
    }
    return lines;
}

// The lines reach the log in their order, one writer at a time, whether the thread or Settle writes them,
// with the queue filled past its bound, drained in between, and left to the destructor at the end.
TEST(QueuedLogTest, LinesArriveWholeInTheirOrderWhoeverWritesThem) {
    struct Case {
        size_t lines;
        size_t settleEvery; // 0: never
        std::chrono::microseconds pause;
    };
    const Case cases[] = {{30000, 0, {}},
                          {30000, 37, {}},
                          {30000, 300, {}},
                          {30000, 1500, {}},
                          {5000, 1, {}},
                          {3000, 0, std::chrono::microseconds{20}},
                          {3000, 301, std::chrono::microseconds{20}}};
    for (const Case& c : cases) {
        const std::vector<std::string> lines = Numbered(c.lines);
        RecordingSink sink(0, c.pause);
        {
            QueuedLog log(sink);
            for (size_t i = 0; i < lines.size(); ++i) {
                log.Write(lines[i]);
                if (c.settleEvery != 0 && i % c.settleEvery == 0) {
                    log.Settle();
                    ASSERT_EQ(sink.Lines.size(), i + 1) << "Settle returned before every line was written";
                }
            }
        }
        EXPECT_EQ(sink.Lines, lines) << c.lines << " lines, settled every " << c.settleEvery;
        EXPECT_FALSE(sink.Overlapped);
    }
}

// A line that fails is the end: no later line is written, and the failure reaches the caller at its next
// Write or Settle, as the exception it was.
TEST(QueuedLogTest, AFailedLineStopsEveryLaterLineAndIsRaisedToTheCaller) {
    for (const size_t failAt : {size_t{1}, size_t{5}, size_t{64}, size_t{65}, size_t{900}}) {
        const std::vector<std::string> lines = Numbered(2000);
        RecordingSink sink(failAt);
        {
            QueuedLog log(sink);
            try {
                for (const std::string& line : lines) {
                    log.Write(line);
                }
                log.Settle();
                ADD_FAILURE() << "no failure raised, line " << failAt;
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), "line " + lines[failAt - 1] + " refused");
            }
            EXPECT_THROW(log.Write("after"), std::runtime_error);
            EXPECT_THROW(log.Settle(), std::runtime_error);
        }
        EXPECT_EQ(sink.Attempts, failAt) << "a line after the failed one was tried";
        EXPECT_EQ(sink.Lines, std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(failAt - 1)));
    }
}

} // namespace
} // namespace pardova
