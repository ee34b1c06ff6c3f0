// The synchronisation run: its checks and messages, what it logs and creates, both readings of the start
// flag, the start of the program, and the error box text.

#include "app/core/SyncRun.h"

#include "app/core/TestMirrorSupport.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pardova {
namespace {

using namespace pardova::testing;
using namespace pardova::platform;

const std::function<bool()> kNoStart = [] { return false; };
const std::function<bool()> kStart = [] { return true; };

class SyncRunTest : public MirrorFixture {
protected:
    void SetUp() override {
        MirrorFixture::SetUp();
        MakeDirs("A");
        WriteFile(At("A/f"), "payload");
    }

    // The message of the exception DoSync raises, or "(none)".
    template <class E = Exception>
    std::string FailureOf(const std::string& a, const std::string& b, const std::string& program,
                          const std::function<bool()>& flag) {
        try {
            DoSync(a, b, program, flag);
        } catch (const E& e) {
            return e.Message();
        }
        return "(none)";
    }
};

TEST_F(SyncRunTest, AMustBeAFolder) {
    const struct { std::string A; } cases[] = {{""}, {At("missing")}, {At("A/f")}};
    for (const auto& c : cases) {
        EXPECT_EQ(FailureOf(c.A, B, "", kStart), "Папка не найдена\r" + c.A);
        EXPECT_FALSE(Exists(B)) << c.A;
        EXPECT_FALSE(Exists(At("log.txt"))) << "nothing is logged for " << c.A;
    }
}

TEST_F(SyncRunTest, AMissingBIsLoggedCreatedAndFilled) {
    const std::string deepB = At("B/x/y");
    DoSync(A, deepB, "anything at all", kNoStart);
    EXPECT_EQ(ReadFile(At("B/x/y/f")), "payload");
    EXPECT_EQ(LogLines(),
              (Lines{"Папка не найдена, создаю " + deepB, At("A/f"), "  копирую -> " + IncludeSlash(deepB) + "f"}));
}

#ifndef _WIN32
// The run's own path lines escape what would break a log line, as the mirror's do.
TEST_F(SyncRunTest, AMissingBWithALineBreakInItsNameIsLoggedEscaped) {
    const std::string b = At("B\r\nforged");
    DoSync(A, b, "", kNoStart);
    EXPECT_EQ(ReadFile(At("B\r\nforged/f")), "payload");
    const std::string logged = At("B\\x0D\\x0Aforged");
    EXPECT_EQ(LogLines(), (Lines{"Папка не найдена, создаю " + logged, At("A/f"), "  копирую -> " + logged + "/f"}));
}
#endif

TEST_F(SyncRunTest, ARelativeMissingBIsCreatedAgainstTheCurrentFolder) {
    const std::string saved = Fs().GetCurrentDir();
    ASSERT_TRUE(Fs().SetCurrentDir(Root()));
    DoSync(A, "out", "", kNoStart);
    ASSERT_TRUE(Fs().SetCurrentDir(saved));
    EXPECT_EQ(ReadFile(At("out/f")), "payload");
    EXPECT_EQ(LogLines(),
              (Lines{"Папка не найдена, создаю out", At("A/f"), "  копирую -> " + IncludeSlash("out") + "f"}));
}

TEST_F(SyncRunTest, AnEmptyBIsLoggedAndThenRaises) {
    EXPECT_EQ(FailureOf<EInOutError>(A, "", "", kNoStart), "Unable to create directory");
    EXPECT_EQ(LogLines(), (Lines{"Папка не найдена, создаю "}));
}

TEST_F(SyncRunTest, ABThatCannotBeCreatedStillWalksAAndLogsEveryCopy) {
    WriteFile(At("blocker"), "a file where B's parent should be");
    const std::string impossible = At("blocker/B");
    DoSync(A, impossible, "", kNoStart);
    EXPECT_EQ(LogLines(),
              (Lines{"Папка не найдена, создаю " + impossible, At("A/f"),
                     "  копирую -> " + IncludeSlash(impossible) + "f", FailureLine(platform::kErrPathNotFound)}));
    EXPECT_EQ(ReadFile(At("blocker")), "a file where B's parent should be");
}

TEST_F(SyncRunTest, TheProgramMustBeAFileWhenItIsToBeStarted) {
    MakeDirs("B");
    for (const std::string& program : {std::string(), At("missing.exe"), At("A")}) {
        EXPECT_EQ(FailureOf(A, B, program, kStart), "Файл не найден\r" + program);
    }
    EXPECT_FALSE(Exists(At("B/f"))) << "no mirror after a failed check";
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(SyncRunTest, BIsCreatedBeforeTheProgramCheckFails) {
    EXPECT_EQ(FailureOf(A, B, "", kStart), "Файл не найден\r");
    EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(B)));
    EXPECT_EQ(LogLines(), (Lines{"Папка не найдена, создаю " + B}));
}

TEST_F(SyncRunTest, TwoRunsInARowCopyOnlyOnce) {
    MakeDirs("B");
    DoSync(A, B, "", kNoStart);
    ClearLog();
    DoSync(A, B, "", kNoStart);
    EXPECT_EQ(LogLines(), (Lines{At("A/f")}));
}

TEST_F(SyncRunTest, EachReadingOfTheStartFlagActsAtItsPoint) {
    MakeDirs("B");
    // Ticked only for the first reading: the program is checked, never started.
    int readings = 0;
    WriteFile(At("doc.txt"), "");
    DoSync(A, B, At("doc.txt"), [&readings] { return ++readings == 1; });
    EXPECT_EQ(readings, 2);
    EXPECT_EQ(LogLines(), (Lines{At("A/f"), "  копирую -> " + IncludeSlash(B) + "f"}));

    // Ticked only for the second reading: no check before the mirror, then the start line.
    ClearLog();
    readings = 0;
    const std::string program = At("never-checked");
    bool started = false;
    try {
        DoSync(A, B, program, [&readings] { return ++readings == 2; });
        started = true;
    } catch (const Exception& e) {
        ADD_FAILURE() << e.Message();
    }
    EXPECT_TRUE(started);
    EXPECT_EQ(LogLines(), (Lines{At("A/f"), "Запускаю " + program}));
}

#ifndef _WIN32
TEST_F(SyncRunTest, TheProgramStartsInItsOwnFolderAfterTheMirror) {
    MakeDirs("B");
    MakeDirs("prog dir");
    const std::string fifo = At("started");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string program = At("prog dir/run.sh");
    // The program reports its working folder and arguments, and whether the mirror was done before it.
    WriteFile(program, "#!/bin/sh\n{ printf '%s|%s|' \"$(pwd)\" \"$#\"; test -f \"" + At("B/f") +
                           "\" && printf mirrored; } > \"" + fifo + "\"\n");
    ASSERT_EQ(::chmod(program.c_str(), 0700), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);

    DoSync(A, B, program, kStart);
    EXPECT_EQ(LogLines(), (Lines{At("A/f"), "  копирую -> " + IncludeSlash(B) + "f", "Запускаю " + program}));

    // Waits for the started program's one report (an event, not a pause), for at most a minute; the
    // report ends when the program closes its end of the pipe.
    std::string report;
    for (;;) {
        pollfd wait{reader, POLLIN, 0};
        if (::poll(&wait, 1, 60000) <= 0) {
            break;
        }
        char buffer[512];
        const ssize_t got = ::read(reader, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        report.append(buffer, static_cast<size_t>(got));
    }
    ::close(reader);
    const std::string folder = At("prog dir");
    EXPECT_EQ(report, folder + "|0|mirrored");
}
#endif

} // namespace
} // namespace pardova
