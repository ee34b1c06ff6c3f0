#include "platform/core/Process.h"

#include "platform/core/Path.h"
#include "platform/core/TestProcessSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace pardova::platform {
namespace {

using pardova::testing::GetEnv;
using pardova::testing::RunSelfChild;
using pardova::testing::SetEnv;
using pardova::testing::Utf8;

TEST(ProcessTest, ModulePathIsThisProgram) {
    const std::string path = GetModulePath();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::path(pardova::testing::FromUtf8(path)).is_absolute()) << path;
    EXPECT_TRUE(std::filesystem::is_regular_file(pardova::testing::FromUtf8(path))) << path;
    EXPECT_NE(NamePart(path).find("test_"), std::string::npos) << path;
}

TEST(ProcessTest, IdentityValues) {
    EXPECT_FALSE(GetComputerNameText().empty());
    EXPECT_FALSE(GetUserNameText().empty());
#ifdef _WIN32
    EXPECT_EQ(CurrentProcessId(), static_cast<uint32_t>(_getpid()));
#else
    EXPECT_EQ(CurrentProcessId(), static_cast<uint32_t>(getpid()));
#endif
    const uint32_t mine = CurrentThreadId();
    uint32_t other = mine;
    std::thread([&] { other = CurrentThreadId(); }).join();
    EXPECT_NE(mine, 0u);
    EXPECT_NE(other, mine);
    EXPECT_EQ(CurrentThreadId(), mine);
}

TEST(ProcessTest, LocalNowIsTheLocalCalendarTime) {
    const auto calendar = [](std::time_t t) {
        std::tm local{};
#ifdef _WIN32
        localtime_s(&local, &t);
#else
        localtime_r(&t, &local);
#endif
        return local;
    };
    const std::tm before = calendar(std::time(nullptr));
    const LocalDateTime now = LocalNow();
    const std::tm after = calendar(std::time(nullptr));
    const auto matches = [&](const std::tm& t) {
        return now.Year == t.tm_year + 1900 && now.Month == t.tm_mon + 1 && now.Day == t.tm_mday &&
               now.Hour == t.tm_hour && now.Minute == t.tm_min;
    };
    EXPECT_TRUE(matches(before) || matches(after));
    EXPECT_GE(now.Millisecond, 0);
    EXPECT_LE(now.Millisecond, 999);
    EXPECT_GE(now.Second, 0);
    EXPECT_LE(now.Second, 60);
}

// On POSIX a named mutex is a lock file in the temporary folder: the tests keep theirs in a folder of their
// own, which goes away with the test.
class NamedMutexTest : public ::testing::Test {
protected:
    pardova::testing::TempDir Dir;
    pardova::testing::ScopedEnv Tmp{"TMPDIR", Utf8(Dir.Path())};
};

std::string UniqueMutexName(const std::string& tag) {
    return "CSL_MUTEX_pardova-test-" + tag + "-" + std::to_string(CurrentProcessId());
}

TEST_F(NamedMutexTest, SerialisesThreads) {
    const std::string name = UniqueMutexName("threads");
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto held = NamedMutex::Acquire(name);
                // A read, a yield and a write: without mutual exclusion increments are lost.
                const long seen = counter;
                std::this_thread::yield();
                counter = seen + 1;
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(counter, 800);
}

TEST_F(NamedMutexTest, NamesDifferingInCaseAreDistinct) {
    const std::string lower = UniqueMutexName("case") + "-log.txt";
    const std::string upper = UniqueMutexName("case") + "-LOG.txt";
    auto held = NamedMutex::Acquire(lower);
    bool acquired = false;
    // Would wait for ever if the two names shared one mutex.
    std::thread([&] {
        auto other = NamedMutex::Acquire(upper);
        acquired = true;
    }).join();
    EXPECT_TRUE(acquired);
}

// Child side of the abandonment test: takes the mutex and ends the process without releasing it.
TEST(NamedMutexChild, DISABLED_AcquireAndDie) {
    auto held = NamedMutex::Acquire(GetEnv("PARDOVA_TEST_MUTEX"));
    std::_Exit(7);
}

TEST_F(NamedMutexTest, AbandonedByDeadHolderCountsAsAcquired) {
    const std::string name = UniqueMutexName("abandoned");
    SetEnv("PARDOVA_TEST_MUTEX", name);
    ASSERT_EQ(RunSelfChild("NamedMutexChild.DISABLED_AcquireAndDie"), 7);
    // The holder is gone; waiting must end at once rather than for ever.
    auto held = NamedMutex::Acquire(name);
    EXPECT_NE(held, nullptr);
}

TEST_F(NamedMutexTest, UnopenableMutexDoesNotWait) {
#ifdef _WIN32
    // A named object of another kind blocks a mutex of the same name.
    const std::string name = UniqueMutexName("blocked");
    const std::u16string wide16 = Utf8ToUtf16(name);
    const std::wstring wide(wide16.begin(), wide16.end());
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, wide.c_str());
    ASSERT_NE(event, nullptr);
    auto first = NamedMutex::Acquire(name);
    auto second = NamedMutex::Acquire(name);
    CloseHandle(event);
#else
    pardova::testing::ScopedEnv missing("TMPDIR", Dir / "missing/");
    const std::string name = UniqueMutexName("blocked");
    // Neither holds anything, so the second does not wait for the first.
    auto first = NamedMutex::Acquire(name);
    auto second = NamedMutex::Acquire(name);
#endif
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
}

} // namespace
} // namespace pardova::platform
