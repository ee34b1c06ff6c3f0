// The event log under load: many threads and many processes writing at once, with rotation and retention
// running between their lines, and a file held by another process. Every line must arrive whole, once,
// in its writer's order; retention must keep no more files than it is told.

#include "log/core/SimpleLog.h"

#include "log/core/TestLogSupport.h"
#include "platform/core/Exceptions.h"

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <thread>

namespace pardova {
namespace {

using namespace pardova::testing;

constexpr int kThreads = 8;
constexpr int kThreadLines = 2000;
constexpr int kProcesses = 4;
constexpr int kProcessLines = 2000;

// A clock that moves one second on every reading, so that each rotation gets a name of its own.
std::atomic<int> gTicks{0};
platform::LocalDateTime TickingClock() {
    const int t = gTicks.fetch_add(1);
    return {2024, 1, 1 + t / 86400, t / 3600 % 24, t / 60 % 60, t % 60, 0};
}

// The text every writer puts on its line: its number, the line's number and a filler that shows a cut.
std::string LineText(int writer, int line) {
    return "w" + std::to_string(writer) + " n" + std::to_string(line) + " " +
           std::string(60, static_cast<char>('a' + writer));
}

// Parses a line's text back; nullopt for a line that is not whole.
std::optional<std::pair<int, int>> ParseLine(const std::string& text) {
    int writer = -1;
    int line = -1;
    char filler[61] = {};
    if (std::sscanf(text.c_str(), "w%d n%d %60s", &writer, &line, filler) != 3 || writer < 0 || writer > 25) {
        return std::nullopt;
    }
    if (text != LineText(writer, line)) {
        return std::nullopt;
    }
    return std::make_pair(writer, line);
}

// Every file of the folder whose name starts with "log", oldest rotation first and the live file last,
// read as one sequence of lines.
std::vector<std::string> AllLines(const TempDir& dir, size_t* rotatedFiles = nullptr) {
    std::vector<std::string> names;
    for (const std::string& name : SortedNames(dir.Path())) {
        if (name.rfind("log_", 0) == 0) {
            names.push_back(name);
        }
    }
    if (rotatedFiles != nullptr) {
        *rotatedFiles = names.size();
    }
    names.push_back("log.txt");
    std::vector<std::string> lines;
    for (const std::string& name : names) {
        for (std::string& line : SplitLines(ReadAll(dir / name))) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

// Per writer, the line numbers in the order they stand in the files; fails on a line that is not whole.
std::map<int, std::vector<int>> LinesPerWriter(const std::vector<std::string>& lines, const std::string& framing) {
    std::map<int, std::vector<int>> perWriter;
    for (const std::string& line : lines) {
        if (line.rfind(framing, 0) != 0) {
            ADD_FAILURE() << "a line without its framing: " << line;
            continue;
        }
        const std::optional<std::pair<int, int>> parsed = ParseLine(line.substr(framing.size()));
        if (!parsed) {
            ADD_FAILURE() << "a line cut or mixed with another: " << line;
            continue;
        }
        perWriter[parsed->first].push_back(parsed->second);
    }
    return perWriter;
}

class LogStressTest : public LogFolderTest {
protected:
    void SetUp() override {
        gTicks = 0;
        UseClock(&TickingClock);
    }

    // The threads start together and each writes its lines; returns the number of events that raised.
    static int WriteFromThreads() { return LogFromThreads(kThreads, kThreadLines, LineText); }
};

// The rotation settings each case runs with: the size limit in KiB and the number of rotated files kept.
struct RotationCase {
    uint32_t SizeLimit;
    int32_t MaxFiles;
    const char* Name;
};

class ThreadLoadTest : public LogStressTest, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(ThreadLoadTest, EveryLineWholeAndInItsWritersOrder) {
    const RotationCase c = GetParam();
    SimpleLog().RegisterLog("log", Dir / "log.txt", c.SizeLimit, c.MaxFiles, {lpType}, " | ");
    SimpleLog().SetLockType(ltProcess);
    EXPECT_EQ(WriteFromThreads(), 0);

    size_t rotated = 0;
    const auto perWriter = LinesPerWriter(AllLines(Dir, &rotated), "Info | ");
    if (c.SizeLimit != 0) {
        EXPECT_GT(rotated, 0u) << "the load never rotated the file";
    }
    const bool keepsAll = c.MaxFiles <= 0 || rotated < static_cast<size_t>(c.MaxFiles);
    if (c.MaxFiles > 0) {
        EXPECT_LE(rotated, static_cast<size_t>(c.MaxFiles));
    }
    // Retention removes whole files, oldest first, so each writer keeps an unbroken run of its last lines;
    // with nothing removed, that run is all of them.
    for (int t = 0; t < kThreads; ++t) {
        const auto found = perWriter.find(t);
        const std::vector<int> lines = found == perWriter.end() ? std::vector<int>{} : found->second;
        if (keepsAll) {
            ASSERT_EQ(lines.size(), static_cast<size_t>(kThreadLines)) << "writer " << t;
        }
        const int first = kThreadLines - static_cast<int>(lines.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i], first + static_cast<int>(i)) << "writer " << t << ", line " << i << " of its run";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rotation, ThreadLoadTest,
                         ::testing::Values(RotationCase{0, 0, "NoRotation"}, RotationCase{16, 1000, "KeepAll"},
                                           RotationCase{16, 3, "KeepThree"}),
                         [](const auto& info) { return std::string(info.param.Name); });

// Child side of the process test: reports that it is ready, waits at the parent's gate so that all children
// start together, then writes its lines under the lock type it is given, rotating on the way.
TEST(LogStressChild, DISABLED_WriteLines) {
    HoldInHeldBuild();
    SimpleLog().RegisterLog("log", GetEnv("PARDOVA_TEST_LOG"), 8, 0, {lpType}, " | ");
    SimpleLog().SetLockType(static_cast<TLogLockType>(std::stoi(GetEnv("PARDOVA_TEST_LOCK"))));
    const int writer = std::stoi(GetEnv("PARDOVA_TEST_WRITER"));
    WriteAll(GetEnv("PARDOVA_TEST_READY") + std::to_string(writer), "");
    platform::NamedMutex::Acquire(GetEnv("PARDOVA_TEST_GATE")).reset();
    for (int i = 0; i < kProcessLines; ++i) {
        SimpleLog().LogInfo("log", LineText(writer, i));
    }
    FreeSimpleLog();
}

// Under the machine-wide lock the processes take turns; under the process lock (this program's) each one
// that finds the file held by another waits for it. Either way every line arrives whole, once, in order.
class ProcessLoadTest : public LogStressTest, public ::testing::WithParamInterface<TLogLockType> {};

TEST_P(ProcessLoadTest, ProcessesWritingAtOnceLoseNoLineAcrossRotations) {
    const std::string gate = "CSL_MUTEX_pardova-stress-gate-" + std::to_string(platform::CurrentProcessId());
    std::filesystem::create_directory(Dir.Path() / "ready");
    SetEnv("PARDOVA_TEST_LOCK", std::to_string(static_cast<int>(GetParam())));
    SetEnv("PARDOVA_TEST_LOG", Dir / "log.txt");
    SetEnv("PARDOVA_TEST_READY", Dir / "ready" + std::string(1, kSep));
    SetEnv("PARDOVA_TEST_GATE", gate);
    auto gateHeld = platform::NamedMutex::Acquire(gate);
    std::vector<std::atomic<int>> codes(kProcesses);
    std::vector<std::thread> children;
    for (int p = 0; p < kProcesses; ++p) {
        codes[p] = -2;
        // The environment is read by the child at its start; each child is started after its own value is set.
        SetEnv("PARDOVA_TEST_WRITER", std::to_string(p));
        children.emplace_back([p, &codes] { codes[p] = RunSelfChild("LogStressChild.DISABLED_WriteLines"); });
        // Wait until this child has reported ready (or ended), so the next one sees its own number.
        while (!pardova::testing::Exists(Dir / "ready" + std::string(1, kSep) + std::to_string(p)) &&
               codes[p].load() == -2) {
            std::this_thread::yield();
        }
    }
    gateHeld.reset();
    for (auto& child : children) {
        child.join();
    }
    for (int p = 0; p < kProcesses; ++p) {
        EXPECT_EQ(codes[p].load(), 0) << "child " << p;
    }
    // Without retention every rotated file stays, so every line of every process is there, in its order.
    const auto perWriter = LinesPerWriter(AllLines(Dir), "Info | ");
    ASSERT_EQ(perWriter.size(), static_cast<size_t>(kProcesses));
    for (const auto& [writer, lines] : perWriter) {
        ASSERT_EQ(lines.size(), static_cast<size_t>(kProcessLines)) << "writer " << writer;
        for (int i = 0; i < kProcessLines; ++i) {
            ASSERT_EQ(lines[i], i) << "writer " << writer;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Locks, ProcessLoadTest, ::testing::Values(ltMachine, ltProcess),
                         [](const auto& info) { return std::string(info.param == ltMachine ? "Machine" : "Process"); });

// Child side: holds the log file as another writer would, until the parent opens the gate.
TEST(LogHolderChild, DISABLED_HoldFile) {
    const auto holder =
        platform::OpenNativeStream(GetEnv("PARDOVA_TEST_LOG"), platform::StreamMode::OpenReadWriteDenyWrite);
    WriteAll(GetEnv("PARDOVA_TEST_READY"), "");
    platform::NamedMutex::Acquire(GetEnv("PARDOVA_TEST_GATE")).reset();
}

TEST_F(LogStressTest, AFileHeldByAnotherProcessGivesTheOpenErrorAndWritesNothing) {
    const std::string file = Dir / "log.txt";
    WriteAll(file, "earlier\r\n");
    const std::string ready = Dir / "held";
    const std::string gate = "CSL_MUTEX_pardova-holder-gate-" + std::to_string(platform::CurrentProcessId());
    SetEnv("PARDOVA_TEST_LOG", file);
    SetEnv("PARDOVA_TEST_READY", ready);
    SetEnv("PARDOVA_TEST_GATE", gate);
    // A hold longer than the wait: every event gives up after it.
    SimpleLog().RegisterLog("log", file, 2000, 5, {lpType}, " | ")->SetHeldFileWait(std::chrono::milliseconds(20));
    SimpleLog().SetLockType(ltProcess);

    auto gateHeld = platform::NamedMutex::Acquire(gate);
    std::atomic<int> code{-2};
    std::thread child([&code] { code = RunSelfChild("LogHolderChild.DISABLED_HoldFile"); });
    while (!pardova::testing::Exists(ready) && code.load() == -2) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(pardova::testing::Exists(ready)) << "the holder ended early with code " << code.load();
    for (int i = 0; i < 3; ++i) {
        try {
            SimpleLog().LogInfo("log", LineText(0, i));
            ADD_FAILURE() << "wrote past the other process's hold";
        } catch (const platform::EFOpenError& e) {
            EXPECT_EQ(e.Message().rfind("Cannot open file \"" + file + "\". ", 0), 0u) << e.Message();
        }
    }
    gateHeld.reset();
    child.join();
    EXPECT_EQ(code.load(), 0);
    EXPECT_EQ(ReadAll(file), "earlier\r\n");
    SimpleLog().LogInfo("log", LineText(0, 3));
    EXPECT_EQ(ReadAll(file), "earlier\r\nInfo | " + LineText(0, 3) + "\r\n");
}

} // namespace
} // namespace pardova
