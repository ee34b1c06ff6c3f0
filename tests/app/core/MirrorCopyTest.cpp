// The copy of one file as a pass makes it: what a failed copy reports, temporaries that belong to one
// attempt, files that are no regular files, read-only copies, times at the ends of their range,
// permissions, a file-size limit, two passes at once and a power cut.

#include "app/core/FileRoutines.h"
#include "app/core/Mirror.h"
#include "app/core/SyncRun.h"
#include "app/core/TestMirrorSupport.h"
#include "app/core/TestTreeSnapshot.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"
#include "platform/core/Process.h"
#include "platform/core/TestForwardingFs.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#endif

#include <functional>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace pardova {
namespace {

using namespace pardova::testing;
using namespace pardova::platform;

class MirrorCopyTest : public MirrorFixture {
protected:
    void SetUp() override {
        MirrorFixture::SetUp();
        MakeDirs("A");
        MakeDirs("B");
    }

    // The names in a folder that are temporaries of the mirror's.
    static Lines PartialsIn(const std::string& folder) {
        Lines names;
        for (const auto& entry : stdfs::directory_iterator(PathFromUtf8(folder))) {
            const std::string name = Utf8FromPath(entry.path().filename());
            if (PartialCopyOwner(name)) {
                names.push_back(name);
            }
        }
        return names;
    }
};

TEST_F(MirrorCopyTest, TemporaryNamesBelongToOneAttemptAndTellTheirOwner) {
    const std::string first = PartialCopyName("report.txt");
    const std::string second = PartialCopyName("report.txt");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.rfind(".~report.txt.", 0), 0u) << first;
    EXPECT_EQ(PartialCopyOwner(first), CurrentProcessId());
    EXPECT_EQ(PartialCopyOwner(PartialCopyName("x", 4242, 0x0123456789abcdefULL)), 4242u);
    EXPECT_EQ(PartialCopyOwner(PartialCopyName(std::string(300, 'n'), 7, 1)), 7u);
    EXPECT_LE(PartialCopyName(std::string(300, 'n')).size(), 255u);
    // Names that merely look like temporaries are files like any other.
    for (const char* name : {".~f.pardova-part", ".~f.12-xyz.pardova-part", "f.1-0123456789abcdef.pardova-part",
                             ".~f.-0123456789abcdef.pardova-part", ".~f.12-0123456789abcde.pardova-part"}) {
        EXPECT_FALSE(PartialCopyOwner(name).has_value()) << name;
    }
}

// A file of A that has a temporary's name is a file of B like any other once copied: replacing its
// neighbour never removes it.
TEST_F(MirrorCopyTest, AFileOfANamedLikeATemporaryIsNeverRemovedFromB) {
    const std::string lookalikes[] = {".~f.pardova-part", PartialCopyName("f", 999999, 0x0123456789abcdefULL)};
    WriteFile(InA("f"), "first");
    for (const std::string& name : lookalikes) {
        WriteFile(InA(name), "A's own file " + name);
    }
    SyncFolder(A, B);
    WriteFile(InA("f"), "second, longer");
    SyncFolder(A, B);
    EXPECT_EQ(ReadFile(InB("f")), "second, longer");
    for (const std::string& name : lookalikes) {
        EXPECT_EQ(ReadFile(InB(name)), "A's own file " + name) << name;
    }
}

TEST_F(MirrorCopyTest, ACopyThatFailsIsFollowedByItsReasonAndCounted) {
    WriteFile(InA("1-good"), "copied");
    WriteFile(InA("2-clash"), "meets a folder in B");
    WriteFile(InA("3-good"), "copied too");
    MakeDirs("B/2-clash");
    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 1);
    EXPECT_EQ(Sorted(LogLines()), Sorted({InA("1-good"), kCopy + InB("1-good"), InA("2-clash"), kCopy + InB("2-clash"),
                                          FailureLine(kErrAccessDenied), InA("3-good"), kCopy + InB("3-good")}));
    const Lines lines = LogLines();
    const auto copyLine = std::find(lines.begin(), lines.end(), kCopy + InB("2-clash"));
    ASSERT_NE(copyLine, lines.end());
    ASSERT_NE(copyLine + 1, lines.end());
    EXPECT_EQ(*(copyLine + 1), FailureLine(kErrAccessDenied));
    EXPECT_EQ(ReadFile(InB("3-good")), "copied too");

    // With the clash gone, nothing fails and nothing more is written than the entries and the one copy.
    stdfs::remove(PathFromUtf8(InB("2-clash")));
    ClearLog();
    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 0);
    EXPECT_EQ(Sorted(LogLines()), Sorted({InA("1-good"), InA("2-clash"), kCopy + InB("2-clash"), InA("3-good")}));
    ClearLog();
    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 0);
    EXPECT_EQ(Sorted(LogLines()), Sorted({InA("1-good"), InA("2-clash"), InA("3-good")}));
}

// Many copies finish together in batches: a failure among them still has its line right after its own
// copy line, and the lines keep the walk's order.
TEST_F(MirrorCopyTest, FailuresAmongManyCopiesKeepTheirPlaces) {
    MakeDirs("A/many");
    MakeDirs("B/many");
    for (int i = 0; i < 300; ++i) {
        WriteFile(InA("many/f" + std::to_string(i)), std::string(static_cast<size_t>(i), 'x'));
        if (i % 97 == 5) {
            MakeDirs("B/many/f" + std::to_string(i)); // a folder where the copy should go
        }
    }
    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 4);
    const Lines lines = LogLines();
    int failures = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == FailureLine(kErrAccessDenied)) {
            ++failures;
            ASSERT_GT(i, 0u);
            const std::string& copy = lines[i - 1];
            ASSERT_EQ(copy.rfind(kCopy, 0), 0u) << copy;
            EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(copy.substr(kCopy.size())))) << copy;
        } else if (lines[i].rfind(kCopy, 0) == 0) {
            // Each copy line follows its own entry's line.
            ASSERT_GT(i, 0u);
            EXPECT_EQ(lines[i - 1], InA(lines[i].substr(kCopy.size() + B.size() + 1))) << lines[i];
        }
    }
    EXPECT_EQ(failures, 4);
    for (int i = 0; i < 300; ++i) {
        if (i % 97 != 5) {
            EXPECT_EQ(ReadFile(InB("many/f" + std::to_string(i))), std::string(static_cast<size_t>(i), 'x')) << i;
        }
    }
}

TEST_F(MirrorCopyTest, ARunCountsItsFailures) {
    WriteFile(InA("f"), "payload");
    MakeDirs("B/f");
    EXPECT_EQ(DoSyncCounting(NativeFs(), RunLog(), A, B, "", [] { return false; }), 1);
    EXPECT_EQ(LastSyncFailures(), 1);
    stdfs::remove(PathFromUtf8(InB("f")));
    EXPECT_EQ(DoSyncCounting(NativeFs(), RunLog(), A, B, "", [] { return false; }), 0);
    EXPECT_EQ(LastSyncFailures(), 0);
}

#ifdef _WIN32
// A copy that is read-only and hidden because its source is, is updated like any other and gets that state
// again; while the replacement is written it is hidden, and none is left. A target read-only while its
// source is not stays as it is.
TEST_F(MirrorCopyTest, AReadOnlyHiddenCopyOfAReadOnlyHiddenSourceIsUpdated) {
    constexpr DWORD kState = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    const auto attributes = [](const std::string& path) {
        return ::GetFileAttributesW(PathFromUtf8(path).wstring().c_str());
    };
    const auto set = [](const std::string& path, DWORD value) {
        return ::SetFileAttributesW(PathFromUtf8(path).wstring().c_str(), value) != 0;
    };
    WriteFile(InA("state"), "version 1");
    ASSERT_TRUE(set(InA("state"), kState));
    SyncFolder(A, B);
    ASSERT_EQ(ReadFile(InB("state")), "version 1");
    EXPECT_EQ(attributes(InB("state")) & kState, kState);

    ASSERT_TRUE(set(InA("state"), FILE_ATTRIBUTE_NORMAL));
    WriteFile(InA("state"), "version 2, longer");
    ShiftWriteTime(InA("state"), std::chrono::seconds(30));
    ASSERT_TRUE(set(InA("state"), kState));
    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 0);
    EXPECT_EQ(ReadFile(InB("state")), "version 2, longer");
    EXPECT_EQ(attributes(InB("state")) & kState, kState);
    EXPECT_TRUE(PartialsIn(B).empty());

    ASSERT_TRUE(set(InA("state"), FILE_ATTRIBUTE_NORMAL));
    WriteFile(InA("state"), "version 3");
    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 1);
    EXPECT_EQ(ReadFile(InB("state")), "version 2, longer");
    set(InB("state"), FILE_ATTRIBUTE_NORMAL); // so that the test's folder can be removed
}
#endif

#ifndef _WIN32
// What the tests as root need: root itself, and a helper to run something in a child process.
class MirrorCopyPosixTest : public MirrorCopyTest {
protected:
    static bool IsRoot() { return ::geteuid() == 0; }

    static mode_t ModeOf(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }

    static struct stat StatOf(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        return st;
    }

    // Runs `body` in a child process with its own run log (the parent's stays untouched) and gives its exit
    // status as waitpid reports it. The body's result is the child's exit code.
    template <class F> int InChild(F body) {
        const std::string childLog = At("child-log.txt");
        const pid_t child = ::fork();
        if (child == 0) {
            FreeSimpleLog();
            SimpleLog().RegisterLog("log", childLog, 2000, 5, {lpTimestamp, lpType}, " | ");
            int code = 100;
            try {
                code = body();
            } catch (...) {
                code = 101;
            }
            ::_exit(code);
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return status;
    }

    // Becomes another user in this (child) process: uid and gid given, no supplementary groups.
    static bool BecomeUser(uid_t uid, gid_t gid) {
        return ::setgroups(0, nullptr) == 0 && ::setresgid(gid, gid, gid) == 0 && ::setresuid(uid, uid, uid) == 0;
    }
};

// However the pending copies are grouped for their flushes (the groups' size follows the limit of open
// files, and a group's flush runs while the walk goes on), the log reads exactly as if each copy had
// finished at once: every line in the walk's order, and the line of a copy that fails only when its
// flush has ended right after its own copy line. Here such a copy meets a folder that took its target's
// place while its data was being flushed, so its replacing rename fails.
TEST_F(MirrorCopyPosixTest, TheLogReadsTheSameWhateverTheCopiesFlushGroups) {
    constexpr int kFiles = 300;
    const auto failing = [](int i) { return i % 37 == 5; };
    MakeDirs("A/many");
    for (int i = 0; i < kFiles; ++i) {
        WriteFile(InA("many/f" + std::to_string(i)), std::string(static_cast<size_t>(i % 50), 'x'));
    }
    // After the copy onto its target has been handed to the batch, the target becomes a folder.
    class TargetBecomesAFolder final : public ForwardingFs {
    public:
        explicit TargetBecomesAFolder(std::function<bool(const std::string&)> failing) : FFailing(std::move(failing)) {}

    protected:
        bool FolderCopyFileHere(FolderHandle& folder, FolderHandle& source, const std::string& sourceName,
                                const std::string& sourcePath, const std::string& name, const std::string& path,
                                uint32_t* error, CopyBatch* batch, uint64_t tag) override {
            const bool copied =
                ForwardingFs::FolderCopyFileHere(folder, source, sourceName, sourcePath, name, path, error, batch, tag);
            if (copied && FFailing(name)) {
                EXPECT_EQ(::unlink(path.c_str()), 0) << path;
                EXPECT_EQ(::mkdir(path.c_str(), 0755), 0) << path;
            }
            return copied;
        }

    private:
        std::function<bool(const std::string&)> FFailing;
    };
    TargetBecomesAFolder fs([&](const std::string& name) { return failing(std::stoi(name.substr(1))); });

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const rlim_t limits[] = {saved.rlim_cur, 256, 64, 40};
    const std::string failure = FailureLine(0).substr(0, FailureLine(0).find(':') + 1);
    Lines first;
    for (const rlim_t limit : limits) {
        const std::string b = "B" + std::to_string(limit);
        MakeDirs(b + "/many");
        for (int i = 0; i < kFiles; ++i) {
            WriteFile(At(b + "/many/f" + std::to_string(i)), "an older version");
        }
        ClearLog();
        struct rlimit lowered = saved;
        lowered.rlim_cur = std::min(limit, saved.rlim_cur);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
        const int failures = SyncFolderCounting(fs, RunLog(), A, At(b));
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
        EXPECT_EQ(failures, 8) << "limit " << limit;
        Lines lines = LogLines();
        for (std::string& line : lines) {
            if (const size_t at = line.find(At(b)); at != std::string::npos) {
                line.replace(at, At(b).size(), "B");
            }
        }
        if (first.empty()) {
            first = lines;
            ASSERT_EQ(first.size(), 1u + 2 * kFiles + 8);
            for (size_t i = 1; i < first.size(); ++i) {
                if (first[i].rfind(failure, 0) == 0) {
                    ASSERT_EQ(first[i - 1].rfind(kCopy, 0), 0u) << first[i - 1];
                    EXPECT_TRUE(failing(std::stoi(first[i - 1].substr(first[i - 1].rfind("/f") + 2)))) << first[i - 1];
                }
            }
        } else {
            EXPECT_EQ(lines, first) << "limit " << limit;
        }
        for (int i = 0; i < kFiles; ++i) {
            const std::string copy = At(b + "/many/f" + std::to_string(i));
            if (failing(i)) {
                EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(copy))) << copy;
            } else {
                EXPECT_EQ(ReadFile(copy), std::string(static_cast<size_t>(i % 50), 'x'))
                    << "limit " << limit << ", " << copy;
            }
        }
        EXPECT_EQ(PartialsIn(At(b + "/many")), Lines{}) << "limit " << limit;
    }
}

// A pipe or a device in A is never opened (a program waiting to write into a pipe must not be woken and then
// killed), nor is a device that a link in B leads to. The watch sees every open of these names.
TEST_F(MirrorCopyPosixTest, PipesAndDevicesAreNeverOpened) {
    if (!IsRoot()) {
        GTEST_SKIP() << "making device nodes needs root";
    }
    MakeDirs("devices");
    ASSERT_EQ(::mkfifo(InA("pipe").c_str(), 0644), 0);
    ASSERT_EQ(::mknod(InA("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(::mknod(At("devices/zero").c_str(), S_IFCHR | 0666, makedev(1, 5)), 0);
    // A device behind a folder link in A, and a link in B to a device where A has a regular file.
    stdfs::create_directory_symlink(PathFromUtf8(At("devices")), PathFromUtf8(InA("linked")));
    WriteFile(InA("to-device"), "a regular file");
    stdfs::create_symlink(PathFromUtf8(At("devices/zero")), PathFromUtf8(InB("to-device")));

    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, A.c_str(), IN_OPEN), 0);
    ASSERT_GE(::inotify_add_watch(watch, At("devices").c_str(), IN_OPEN), 0);

    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 4);

    std::vector<std::string> opened;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(watch, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0) {
                opened.emplace_back(event->name);
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(watch);
    for (const char* name : {"pipe", "null", "zero"}) {
        EXPECT_EQ(std::count(opened.begin(), opened.end(), name), 0) << name << " was opened";
    }
    // Nothing of another kind became a file in B, and the link in B is still the link.
    EXPECT_FALSE(Exists(InB("pipe")));
    EXPECT_FALSE(Exists(InB("null")));
    EXPECT_FALSE(Exists(InB("linked/zero")));
    EXPECT_TRUE(stdfs::is_symlink(PathFromUtf8(InB("to-device"))));
}

// A copy read-only only because its source is read-only is the mirror's own: it is updated like any other
// and read-only again afterwards. A target read-only while its source is not stays as it is.
TEST_F(MirrorCopyPosixTest, AReadOnlyCopyOfAReadOnlySourceIsUpdated) {
    WriteFile(InA("ro"), "version 1");
    ::chmod(InA("ro").c_str(), 0444);
    SyncFolder(A, B);
    ASSERT_EQ(ReadFile(InB("ro")), "version 1");
    EXPECT_EQ(ModeOf(InB("ro")), 0444u);

    ::chmod(InA("ro").c_str(), 0644);
    WriteFile(InA("ro"), "version 2, longer");
    ShiftWriteTime(InA("ro"), std::chrono::seconds(30));
    ::chmod(InA("ro").c_str(), 0444);
    ClearLog();
    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 0);
    EXPECT_EQ(ReadFile(InB("ro")), "version 2, longer");
    EXPECT_EQ(ModeOf(InB("ro")), 0444u);
    EXPECT_TRUE(SameWriteTime(InA("ro"), InB("ro")));
    EXPECT_TRUE(PartialsIn(B).empty());

    ClearLog();
    SyncFolder(A, B);
    EXPECT_EQ(LogLines(), (Lines{InA("ro")})) << "the update is done once";

    // The source writable again, the copy still read-only: someone marked it so in B, and it stays.
    ::chmod(InA("ro").c_str(), 0644);
    WriteFile(InA("ro"), "version 3");
    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 1);
    EXPECT_EQ(ReadFile(InB("ro")), "version 2, longer");
}

// Times compare exactly over their whole range: two different times before 1601, or after the year 30,828,
// are different times. Needs a file system that keeps such times (tmpfs does; ext4 stops at 1901 and 2446).
TEST_F(MirrorCopyPosixTest, LastWriteTimesCompareExactlyOverTheirWholeRange) {
    const std::string shm = "/dev/shm";
    if (!stdfs::is_directory(shm)) {
        GTEST_SKIP() << "no tmpfs at /dev/shm for times outside ext4's range";
    }
    char pattern[] = "/dev/shm/pardova-times-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    const std::string a = root + "/A";
    const std::string b = root + "/B";
    stdfs::create_directories(a);
    stdfs::create_directories(b);
    // 2^64 ticks of 100 ns apart: a count of 64 bits that wraps would make these equal.
    constexpr int64_t kWrapSeconds = 1844674407370;
    constexpr long kWrapNanoseconds = 955161600;
    struct Case {
        const char* Name;
        struct timespec InA, InB;
        bool Copied;
    };
    const Case cases[] = {
        {"both-before-1601", {-13000000000, 0}, {-12000000000, 0}, true},
        {"before-1601-by-100ns", {-13000000000, 100}, {-13000000000, 200}, true},
        {"same-before-1601", {-13000000000, 5}, {-13000000000, 5}, false},
        {"both-after-30828", {1000000000000, 0}, {1000000000000 + kWrapSeconds, kWrapNanoseconds}, true},
        {"after-30828-by-1s", {2000000000000, 0}, {2000000000001, 0}, true},
        {"same-after-30828", {2000000000000, 7}, {2000000000000, 7}, false},
        {"ordinary-by-100ns", {1700000000, 100}, {1700000000, 200}, true},
    };
    for (const Case& c : cases) {
        WriteFile(a + "/" + c.Name, "same size");
        WriteFile(b + "/" + c.Name, "same size");
        const struct timespec timesA[2] = {{0, UTIME_OMIT}, c.InA};
        const struct timespec timesB[2] = {{0, UTIME_OMIT}, c.InB};
        ASSERT_EQ(::utimensat(AT_FDCWD, (a + "/" + c.Name).c_str(), timesA, 0), 0);
        ASSERT_EQ(::utimensat(AT_FDCWD, (b + "/" + c.Name).c_str(), timesB, 0), 0);
        struct stat st {};
        ASSERT_EQ(::stat((a + "/" + c.Name).c_str(), &st), 0);
        if (st.st_mtim.tv_sec != c.InA.tv_sec) {
            stdfs::remove_all(root);
            GTEST_SKIP() << "this tmpfs does not keep the time " << c.InA.tv_sec;
        }
    }
    SyncFolder(a, b);
    const Lines lines = LogLines();
    for (const Case& c : cases) {
        EXPECT_EQ(Contains(lines, kCopy + b + "/" + c.Name), c.Copied) << c.Name;
        EXPECT_TRUE(SameWriteTime(a + "/" + c.Name, b + "/" + c.Name)) << c.Name;
        struct stat st {};
        ASSERT_EQ(::stat((b + "/" + c.Name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, c.InA.tv_sec) << c.Name << ": the copy carries the source's time";
    }
    stdfs::remove_all(root);
}

// A write past the process's file-size limit fails like any other write: the pass logs the failure and
// goes on, and the process lives.
TEST_F(MirrorCopyPosixTest, AFileSizeLimitFailsOneCopyAndThePassGoesOn) {
    WriteFile(InA("1-big"), std::string(256 * 1024, 'b'));
    WriteFile(InA("2-small"), "small");
    const int status = InChild([&] {
        std::signal(SIGXFSZ, SIG_DFL); // as a fresh process starts
        IgnoreFileSizeSignal();
        struct rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return SyncFolderCounting(NativeFs(), RunLog(), A, B);
    });
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(Exists(InB("1-big")));
    EXPECT_EQ(ReadFile(InB("2-small")), "small");
    const std::string log = ReadFile(At("child-log.txt"));
    EXPECT_NE(log.find(kCopy + InB("1-big") + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(FailureLine(kErrFileTooLarge)), std::string::npos) << log;
}

// A temporary that another live attempt owns is never removed or renamed; one whose owner is dead and that
// nobody holds is cleaned up by the next replacement in its folder.
TEST_F(MirrorCopyPosixTest, AnotherLiveAttemptsTemporaryIsLeftAloneAndADeadOnesIsRemoved) {
    WriteFile(InA("f"), "new version");
    WriteFile(InB("f"), "old version");
    ShiftWriteTime(InB("f"), std::chrono::seconds(-60));
    // A live attempt: a child process that made its temporary, holds it and waits for the word to end.
    int toChild[2];
    int fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const std::string name = InB(PartialCopyName("f"));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        const bool ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::write(fd, "half", 4) == 4;
        const std::string reply = ok ? name : std::string();
        (void)!::write(fromChild[1], reply.c_str(), reply.size() + 1);
        char word = 0;
        (void)!::read(toChild[0], &word, 1);
        ::_exit(0);
    }
    char reply[4096] = {};
    ASSERT_GT(::read(fromChild[0], reply, sizeof reply - 1), 1);
    const std::string liveTemporary = reply;
    // A dead attempt's leftover: its owner's process id is one that has ended.
    const pid_t dead = ::fork();
    if (dead == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    const std::string deadTemporary = InB(PartialCopyName("f", static_cast<uint32_t>(dead), 42));
    WriteFile(deadTemporary, "left by a killed pass");

    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 0);
    EXPECT_EQ(ReadFile(InB("f")), "new version");
    EXPECT_EQ(ReadFile(liveTemporary), "half");
    EXPECT_FALSE(Exists(deadTemporary));

    (void)!::write(toChild[1], "x", 1);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    for (const int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) {
        ::close(fd);
    }
    // Its owner gone and its lock free, the next replacement there cleans it up.
    WriteFile(InA("f"), "third version");
    ShiftWriteTime(InA("f"), std::chrono::seconds(60));
    SyncFolder(A, B);
    EXPECT_EQ(ReadFile(InB("f")), "third version");
    EXPECT_TRUE(PartialsIn(B).empty()) << ::testing::PrintToString(PartialsIn(B));
}

// Two passes at once over one B, each replacing a large file: whatever the interleaving, B's file ends as
// one whole version, with its source's time, and no temporary is left.
TEST_F(MirrorCopyPosixTest, TwoPassesAtOnceNeverLeaveAHalfWrittenMix) {
    constexpr size_t kSize = 24u << 20;
    for (int round = 0; round < 3; ++round) {
        const std::string content(kSize, static_cast<char>('a' + round));
        WriteFile(InA("big"), content);
        ShiftWriteTime(InA("big"), std::chrono::seconds(round * 10 + 10));
        const pid_t other = ::fork();
        if (other == 0) {
            FreeSimpleLog();
            SimpleLog().RegisterLog("log", At("other-log.txt"), 2000, 5, {lpTimestamp, lpType}, " | ");
            ::_exit(SyncFolderCounting(NativeFs(), RunLog(), A, B));
        }
        const int failures = SyncFolderCounting(NativeFs(), RunLog(), A, B);
        int status = 0;
        ASSERT_EQ(::waitpid(other, &status, 0), other);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(failures, 0) << "round " << round;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "round " << round;
        EXPECT_TRUE(ReadFile(InB("big")) == content) << "round " << round << ": B's file is not one whole version";
        EXPECT_TRUE(SameWriteTime(InA("big"), InB("big"))) << "round " << round;
        EXPECT_TRUE(PartialsIn(B).empty()) << "round " << round << ::testing::PrintToString(PartialsIn(B));
    }
}

// As root a copy gets its source's owner and group; its bits are the source's.
TEST_F(MirrorCopyPosixTest, AsRootCopiesKeepTheirSourcesOwnerAndGroup) {
    if (!IsRoot()) {
        GTEST_SKIP() << "only root may give files to others";
    }
    MakeDirs("A/shared");
    WriteFile(InA("shared/f"), "group data");
    ASSERT_EQ(::chown(InA("shared").c_str(), 1234, 4321), 0);
    ASSERT_EQ(::chown(InA("shared/f").c_str(), 1234, 4321), 0);
    ASSERT_EQ(::chmod(InA("shared").c_str(), 0750), 0);
    ASSERT_EQ(::chmod(InA("shared/f").c_str(), 0640), 0);
    SyncFolder(A, B);
    for (const char* name : {"shared", "shared/f"}) {
        const struct stat st = StatOf(InB(name));
        EXPECT_EQ(st.st_uid, 1234u) << name;
        EXPECT_EQ(st.st_gid, 4321u) << name;
    }
    EXPECT_EQ(ModeOf(InB("shared")), 0750u);
    EXPECT_EQ(ModeOf(InB("shared/f")), 0640u);
}

// A runner that may not give a copy its source's group takes away what the source grants that group: the
// copy's group is no more to the source than anyone else. A folder the runner cannot read is made private.
TEST_F(MirrorCopyPosixTest, ACopyIsNeverMoreOpenThanItsSourceForAnotherUser) {
    if (!IsRoot()) {
        GTEST_SKIP() << "the test makes files of another user and runs as that user";
    }
    constexpr uid_t kUser = 23456;
    constexpr gid_t kGroup = 34567;  // the runner's own group
    constexpr gid_t kShared = 45678; // the source's group, which the runner is not in
    ::chmod(Root().c_str(), 0755);
    WriteFile(InA("group-readable"), "for the group only");
    ASSERT_EQ(::chown(InA("group-readable").c_str(), kUser, kShared), 0);
    ASSERT_EQ(::chmod(InA("group-readable").c_str(), 0640), 0);
    WriteFile(InA("everyone"), "for everyone");
    ASSERT_EQ(::chown(InA("everyone").c_str(), kUser, kShared), 0);
    ASSERT_EQ(::chmod(InA("everyone").c_str(), 0664), 0);
    MakeDirs("A/private");
    ASSERT_EQ(::chmod(InA("private").c_str(), 0700), 0); // root's, unreadable to the runner
    ASSERT_EQ(::chown(B.c_str(), kUser, kGroup), 0);
    WriteFile(At("child-log.txt"), ""); // the runner's run log
    ASSERT_EQ(::chown(At("child-log.txt").c_str(), kUser, kGroup), 0);

    const int status = InChild([&] {
        if (!BecomeUser(kUser, kGroup)) {
            return 90;
        }
        ::umask(022);
        SyncFolder(A, B);
        return 0;
    });
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(InB("group-readable")), "for the group only");
    EXPECT_EQ(StatOf(InB("group-readable")).st_gid, kGroup);
    EXPECT_EQ(ModeOf(InB("group-readable")), 0600u) << "the runner's group may not read what only A's group may";
    EXPECT_EQ(ModeOf(InB("everyone")), 0644u) << "the group keeps what everyone may";
    ASSERT_TRUE(stdfs::is_directory(PathFromUtf8(InB("private"))));
    EXPECT_EQ(ModeOf(InB("private")), 0700u);
}

// A runner that may start no more threads or processes (a limit of processes reached) still gets every
// copy flushed and finished: the flushes then run in the pass's own thread, and so do the lines of a pass
// with nothing to do.
TEST_F(MirrorCopyPosixTest, APassThatMayStartNoThreadStillFinishesEveryCopy) {
    if (!IsRoot()) {
        GTEST_SKIP() << "the test runs as another user, whose limit of processes applies";
    }
    constexpr uid_t kUser = 23457;
    constexpr gid_t kGroup = 34568;
    ::chmod(Root().c_str(), 0755);
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i) {
        WriteFile(InA("f" + std::to_string(i)), "content " + std::to_string(i));
    }
    ASSERT_EQ(::chown(B.c_str(), kUser, kGroup), 0);
    WriteFile(At("child-log.txt"), "");
    ASSERT_EQ(::chown(At("child-log.txt").c_str(), kUser, kGroup), 0);
    const int status = InChild([&] {
        if (!BecomeUser(kUser, kGroup)) {
            return 90;
        }
        // Small groups, so that several flushes are started during the pass; no new thread allowed.
        const struct rlimit files = {40, 40};
        const struct rlimit processes = {0, 0};
        if (::setrlimit(RLIMIT_NOFILE, &files) != 0 || ::setrlimit(RLIMIT_NPROC, &processes) != 0) {
            return 91;
        }
        const int failures = SyncFolderCounting(NativeFs(), RunLog(), A, B);
        // A pass with nothing to do, whose lines would be written on a thread of their own.
        LinesLog again;
        if (SyncFolderCounting(NativeFs(), again, A, B) != 0 || again.Lines.size() != kFiles) {
            return 92;
        }
        return failures;
    });
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "100: no result, 101: an exception left the pass, 92: the second pass";
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i);
        EXPECT_EQ(ReadFile(InB(name)), "content " + std::to_string(i)) << name;
        const std::optional<FileAttributeData> source = NativeFs().GetAttributeData(InA(name));
        const std::optional<FileAttributeData> copy = NativeFs().GetAttributeData(InB(name));
        ASSERT_TRUE(source && copy) << name;
        EXPECT_TRUE(CopyIsCurrent(*source, *copy)) << name;
    }
}

// Access taken away in A is taken away in B on the next pass, also where the content has not changed.
TEST_F(MirrorCopyPosixTest, ModesMadeMorePrivateInAFollowIntoBWithoutACopy) {
    MakeDirs("A/folder");
    WriteFile(InA("folder/f"), "data");
    ::chmod(InA("folder").c_str(), 0755);
    ::chmod(InA("folder/f").c_str(), 0644);
    SyncFolder(A, B);
    ASSERT_EQ(ModeOf(InB("folder")), 0755u);
    ASSERT_EQ(ModeOf(InB("folder/f")), 0644u);

    ::chmod(InA("folder").c_str(), 0700);
    ::chmod(InA("folder/f").c_str(), 0600);
    ClearLog();
    EXPECT_EQ(SyncFolderCounting(NativeFs(), RunLog(), A, B), 0);
    EXPECT_EQ(LogLines(), (Lines{InA("folder"), InA("folder/f")})) << "nothing is copied again";
    EXPECT_EQ(ModeOf(InB("folder")), 0700u);
    EXPECT_EQ(ModeOf(InB("folder/f")), 0600u);
}

// A power cut right after a pass: the file system of B is shut down without writing its journal, as the
// file systems' own crash tests do, after one more commit of its journal (any other program's flush would
// do the same). After a remount no copy may look current (its source's size and time) with other data,
// and a replaced file keeps either its old version or its new one, whole.
class MirrorPowerCutTest : public MirrorCopyPosixTest, public ::testing::WithParamInterface<const char*> {
protected:
    void TearDown() override {
        if (!FMount.empty()) {
            ::umount2(FMount.c_str(), MNT_DETACH);
        }
        if (!FLoop.empty()) {
            (void)!std::system(("losetup -d " + FLoop + " 2>/dev/null").c_str());
        }
        MirrorCopyPosixTest::TearDown();
    }

    static int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

    // A fresh file system of the kind on a loop device, mounted with `options`; false with a reason when the
    // machine does not allow it.
    bool MountFresh(const std::string& kind, const std::string& options, std::string& why) {
        const std::string image = At("disk.img");
        FMount = At("mnt");
        MakeDirs("mnt");
        if (Shell("truncate -s 512M " + image) != 0) {
            why = "cannot make the disk image";
            return false;
        }
        const std::string mkfs = kind == "xfs" ? "mkfs.xfs -q -f " : "mkfs.ext4 -q -F ";
        if (Shell("command -v " + mkfs.substr(0, mkfs.find(' '))) != 0 || Shell(mkfs + image) != 0) {
            why = "no " + kind + " tools here";
            return false;
        }
        FILE* out = ::popen(("losetup -f --show " + image + " 2>/dev/null").c_str(), "r");
        char device[256] = {};
        if (out == nullptr || std::fgets(device, sizeof device, out) == nullptr) {
            if (out != nullptr) {
                ::pclose(out);
            }
            why = "no loop device available";
            return false;
        }
        ::pclose(out);
        FLoop = device;
        FLoop.erase(FLoop.find_last_not_of("\n") + 1);
        if (::mount(FLoop.c_str(), FMount.c_str(), kind.c_str(), 0, options.c_str()) != 0) {
            why = "cannot mount " + kind + ": " + std::strerror(errno);
            FMount.clear();
            return false;
        }
        return true;
    }

    bool Remount(const std::string& kind, const std::string& options) {
        if (::umount(FMount.c_str()) != 0) {
            return false;
        }
        return ::mount(FLoop.c_str(), FMount.c_str(), kind.c_str(), 0, options.c_str()) == 0;
    }

    std::string FMount;
    std::string FLoop;
};

TEST_P(MirrorPowerCutTest, NoCopyLooksCurrentWithWrongDataAndNoReplacedFileLosesItsOldVersion) {
    if (!IsRoot()) {
        GTEST_SKIP() << "mounting a loop device needs root";
    }
    // "KIND" or "KIND/LIMIT": the pass under that limit of open files, which makes its copies' flush groups
    // small enough that most of them are flushed while the walk goes on.
    const std::string param = GetParam();
    const std::string kind = param.substr(0, param.find('/'));
    const rlim_t limit = param.find('/') == std::string::npos ? 0 : std::stoul(param.substr(param.find('/') + 1));
    // ext4 without its flush on replacing renames shows the replaced files too, as XFS does by itself.
    const std::string options = kind == std::string("ext4") ? "noauto_da_alloc" : "";
    std::string why;
    if (!MountFresh(kind, options, why)) {
        GTEST_SKIP() << why;
    }
    const std::string b = FMount + "/B";
    stdfs::create_directories(b);
    constexpr int kNew = 40;
    constexpr int kReplaced = 10;
    const auto content = [](int i, char version) {
        std::string text(64 * 1024 + static_cast<size_t>(i) * 911, version);
        text.replace(0, 12, "file " + std::to_string(i) + " v" + version);
        return text;
    };
    for (int i = 0; i < kReplaced; ++i) {
        WriteFile(b + "/old" + std::to_string(i), content(i, 'o'));
    }
    ::sync();
    for (int i = 0; i < kNew; ++i) {
        WriteFile(InA("new" + std::to_string(i)), content(i, 'n'));
    }
    for (int i = 0; i < kReplaced; ++i) {
        WriteFile(InA("old" + std::to_string(i)), content(i, 'r'));
    }
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit lowered = saved;
    lowered.rlim_cur = limit != 0 ? std::min(limit, saved.rlim_cur) : saved.rlim_cur;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    const int failures = SyncFolderCounting(NativeFs(), RunLog(), A, b);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(failures, 0);
    // One more journal commit, without the copies' own data: a flush of another file of the file system.
    {
        const std::string other = FMount + "/other";
        const int fd = ::open(other.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "x", 1), 1);
        ASSERT_EQ(::fsync(fd), 0);
        ::close(fd);
    }
    {
        const int fd = ::open(FMount.c_str(), O_RDONLY | O_DIRECTORY);
        ASSERT_GE(fd, 0);
        // FS_IOC_GOINGDOWN (XFS_IOC_GOINGDOWN) with the flag NOLOGFLUSH: what the journal did not yet hold is
        // lost, as in a power cut.
        uint32_t flags = 2;
        ASSERT_EQ(::ioctl(fd, _IOR('X', 125, uint32_t), &flags), 0) << std::strerror(errno);
        ::close(fd);
    }
    ASSERT_TRUE(Remount(kind, options)) << std::strerror(errno);

    int current = 0;
    for (int i = 0; i < kNew + kReplaced; ++i) {
        const bool replaced = i >= kNew;
        const int n = replaced ? i - kNew : i;
        const std::string name = (replaced ? "old" : "new") + std::to_string(n);
        const std::string copy = b + "/" + name;
        const std::optional<FileAttributeData> source = NativeFs().GetAttributeData(InA(name));
        const std::optional<FileAttributeData> there = NativeFs().GetAttributeData(copy);
        ASSERT_TRUE(source.has_value());
        if (!there) {
            EXPECT_FALSE(replaced) << name << ": the old version is gone";
            continue;
        }
        const std::string data = ReadFile(copy);
        if (there->WriteTime == source->WriteTime && there->Size == source->Size) {
            ++current;
            EXPECT_TRUE(data == content(n, replaced ? 'r' : 'n')) << name << " looks current but holds other data";
        } else if (replaced) {
            EXPECT_TRUE(data == content(n, 'o')) << name << ": neither its old version nor its new one, whole";
        }
    }
    // The pass flushed its copies, so the cut found them on the disk.
    EXPECT_EQ(current, kNew + kReplaced);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, MirrorPowerCutTest, ::testing::Values("ext4", "xfs"));
INSTANTIATE_TEST_SUITE_P(SmallFlushGroups, MirrorPowerCutTest, ::testing::Values("ext4/48", "xfs/48"));
#endif

} // namespace
} // namespace pardova
