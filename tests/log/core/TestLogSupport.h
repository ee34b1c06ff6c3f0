#pragma once
// What the event log suites share: a temporary folder per test that also takes the lock files of
// machine-wide mutexes, the test's own log clock in place of the real one, a fresh registry after each
// test, a log file's text split into its lines, and threads that log at the same time.

#include "log/core/SimpleLog.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Path.h"
#include "platform/core/TestProcessSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pardova::testing {

constexpr char kSep = platform::kNativePathStyle == platform::PathStyle::Windows ? '\\' : '/';

// The lines of a log file's text; fails where text follows the last CR LF.
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2) {
        lines.push_back(text.substr(start, pos - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

// Threads that start together and each log `lines` info events to "log", the text of each given by `text`
// from the thread's and the line's number; returns the number of events that raised.
inline int LogFromThreads(int threadCount, int lines, const std::function<std::string(int thread, int line)>& text) {
    std::atomic<int> ready{0};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([t, threadCount, lines, &text, &ready, &failures] {
            // All threads start writing together, so that their events really meet.
            ++ready;
            while (ready.load() < threadCount) {
                std::this_thread::yield();
            }
            for (int i = 0; i < lines; ++i) {
                try {
                    SimpleLog().LogInfo("log", text(t, i));
                } catch (const platform::Exception&) {
                    ++failures;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    return failures.load();
}

// The suites are built twice: as they are, and with PARDOVA_TEST_LOG_HELD, where the registry holds its
// logs' files between events from the start of each test (as a pass does), so that every test of the
// first build also shows that holding the file changes nothing of what it sees.
inline void HoldInHeldBuild() {
#ifdef PARDOVA_TEST_LOG_HELD
    SimpleLog().BeginHold();
#endif
}

class LogFolderTest : public ::testing::Test {
protected:
    LogFolderTest() { HoldInHeldBuild(); }

    // The log reads this clock until the test ends.
    void UseClock(LogClock clock) { FClock.emplace(TheLogClock, clock); }

    void TearDown() override {
        FreeSimpleLog();
        FClock.reset();
    }

    TempDir Dir;
    // Lock files of machine-wide mutexes (POSIX) stay inside the test's folder.
    ScopedEnv FTmp{"TMPDIR", Utf8(Dir.Path())};

private:
    std::optional<platform::ScopedOverride<LogClock>> FClock;
};

} // namespace pardova::testing
