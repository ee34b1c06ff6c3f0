// The walk at any depth: trees deeper than the open-file limit allows at a few descriptors per level, and
// deeper than a small thread stack allows at one call per level; and a folder of A that cannot be read, for
// real, which the pass reports instead of passing it over as empty.

#include "app/core/Mirror.h"

#include "app/core/TestDeepTree.h"
#include "app/core/TestMirrorSupport.h"
#include "platform/core/FileSystem.h"

#ifndef _WIN32
#include <grp.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/wait.h>
#endif

#include <exception>
#include <functional>

namespace pardova {
namespace {

using namespace pardova::testing;
using namespace pardova::platform;

#ifndef _WIN32

class MirrorDepthTest : public MirrorFixture {
protected:
    // A and B live in memory where the system has such a file system: removing a tree of thousands of
    // levels from a disk that discards freed blocks at once takes many seconds.
    void SetUp() override {
        MirrorFixture::SetUp();
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &FSavedLimit), 0);
        char folder[] = "/dev/shm/pardova-depth-XXXXXX";
        if (::mkdtemp(folder) != nullptr) {
            FMemoryFolder = folder;
            ASSERT_EQ(::chmod(folder, 0755), 0);
            A = FMemoryFolder + "/A";
            B = FMemoryFolder + "/B";
            ASSERT_EQ(::mkdir(A.c_str(), 0755), 0);
            ASSERT_EQ(::mkdir(B.c_str(), 0755), 0);
        } else {
            MakeDirs("A");
            MakeDirs("B");
        }
    }

    void TearDown() override {
        ::setrlimit(RLIMIT_NOFILE, &FSavedLimit);
        RemoveTreeContent(A);
        RemoveTreeContent(B);
        if (!FMemoryFolder.empty()) {
            ::rmdir(A.c_str());
            ::rmdir(B.c_str());
            ::rmdir(FMemoryFolder.c_str());
        }
        MirrorFixture::TearDown();
    }

    std::string InA(const std::string& relative) const { return A + "/" + relative; }
    std::string InB(const std::string& relative) const { return B + "/" + relative; }
    void MakeDirsInA(const std::string& relative) const { stdfs::create_directories(PathFromUtf8(InA(relative))); }

    // Lowers the soft limit of open files (the walk never raises it; the program raises it to the hard
    // limit, which this stands for) until the end of the test or the next call.
    void LimitOpenFiles(rlim_t limit) {
        struct rlimit lowered = FSavedLimit;
        lowered.rlim_cur = limit;
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    }
    void RestoreOpenFiles() { ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &FSavedLimit), 0); }

    // The pass on a thread of its own with a stack of `stackBytes`, as a program's main thread may have.
    int PassOnStack(size_t stackBytes, LogSink& log) {
        struct Job {
            MirrorDepthTest* Test;
            LogSink* Log;
            int Failures = -1;
            std::exception_ptr Error = nullptr;
        } job{this, &log};
        pthread_attr_t attributes;
        ::pthread_attr_init(&attributes);
        EXPECT_EQ(::pthread_attr_setstacksize(&attributes, stackBytes), 0);
        pthread_t thread;
        const int started = ::pthread_create(
            &thread, &attributes,
            [](void* data) -> void* {
                auto* run = static_cast<Job*>(data);
                try {
                    run->Failures = SyncFolderCounting(NativeFs(), *run->Log, run->Test->A, run->Test->B);
                } catch (...) {
                    run->Error = std::current_exception();
                }
                return nullptr;
            },
            &job);
        ::pthread_attr_destroy(&attributes);
        EXPECT_EQ(started, 0);
        if (started == 0) {
            ::pthread_join(thread, nullptr);
        }
        if (job.Error) {
            std::rethrow_exception(job.Error);
        }
        return job.Failures;
    }

    // Level by level through descriptors: every folder of the chain is in B, and each file has its
    // source's bytes and last-write time.
    void ExpectChainCopied(int depth, const std::function<bool(int)>& hasFile) const {
        HeldFd a(::open(A.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        HeldFd b(::open(B.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int level = 0; level < depth; ++level) {
            a = OpenFolderAt(a.Get(), "d");
            b = OpenFolderAt(b.Get(), "d");
            ASSERT_TRUE(a && b) << "level " << level << " is missing in B";
            if (hasFile(level)) {
                struct stat source {
                }, copy{};
                ASSERT_EQ(::fstatat(b.Get(), "f", &copy, 0), 0) << "level " << level;
                ASSERT_EQ(::fstatat(a.Get(), "f", &source, 0), 0) << "level " << level;
                EXPECT_EQ(ReadFileAt(b.Get(), "f"), std::to_string(level));
                EXPECT_EQ(copy.st_mtim.tv_sec, source.st_mtim.tv_sec) << "level " << level;
                EXPECT_EQ(copy.st_mtim.tv_nsec, source.st_mtim.tv_nsec) << "level " << level;
            }
        }
    }

    struct rlimit FSavedLimit {};
    std::string FMemoryFolder;
};

TEST_F(MirrorDepthTest, EveryLevelIsCopiedAndLoggedInOrderWhateverTheOpenFileLimitAndTheStack) {
    struct Case {
        const char* What;
        rlim_t OpenFileLimit; // 0: as the suite runs
        int Depth;
        size_t StackBytes; // 0: the test's own thread
    };
    const Case cases[] = {
        {"40 levels under a limit of 24 open files", 24, 40, 0},
        {"400 levels under the usual limit of 1,024", 1024, 400, 0},
        {"3,000 levels on a 1 MiB stack under the usual limit", 1024, 3000, size_t{1} << 20},
        {"3,000 levels on a 1 MiB stack, the limit as it is", 0, 3000, size_t{1} << 20},
        // The paths of the thousands of folders let go of on the way down go all at once on the way up.
        {"3,000 levels on a 64 KiB stack under the usual limit", 1024, 3000, size_t{64} << 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        RemoveTreeContent(A);
        RemoveTreeContent(B);
        const auto hasFile = [](int level) { return level % 7 == 3; };
        MakeChain(A, c.Depth, "d", hasFile);
        const Lines expected = FirstPassLinesOf(A, B);
        ASSERT_EQ(expected.size(), static_cast<size_t>(c.Depth + 2 * ((c.Depth + 3) / 7)));
        if (c.OpenFileLimit != 0) {
            LimitOpenFiles(c.OpenFileLimit);
        }
        // The lines of deep paths would soon fill the log file, which then rotates: they are kept here.
        LinesLog log;
        const int failures =
            c.StackBytes != 0 ? PassOnStack(c.StackBytes, log) : SyncFolderCounting(NativeFs(), log, A, B);
        RestoreOpenFiles();
        EXPECT_EQ(failures, 0);
        EXPECT_EQ(log.Lines.size(), expected.size());
        EXPECT_TRUE(log.Lines == expected) << "the log differs from the tree's own order";
        ExpectChainCopied(c.Depth, hasFile);
    }
}

TEST_F(MirrorDepthTest, AWideFolderAboveADeepOneKeepsItsOrderWhenItsSearchIsLetGo) {
    // A's folder lists its entries around a deep chain; the walk lets go of that search on the way down
    // and goes on with the rest afterwards, in the order the folder gave it.
    for (int i = 0; i < 50; ++i) {
        WriteFile(InA("w" + std::to_string(i)), std::to_string(i));
        MakeDirsInA("s" + std::to_string(i));
    }
    MakeChain(InA("s7"), 60, "d", [](int level) { return level == 59; });
    const Lines expected = FirstPassLinesOf(A, B);
    LimitOpenFiles(24);
    const int failures = SyncFolderCounting(NativeFs(), RunLog(), A, B);
    RestoreOpenFiles();
    EXPECT_EQ(failures, 0);
    EXPECT_TRUE(LogLines() == expected) << "the log differs from the tree's own order";
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(ReadFile(InB("w" + std::to_string(i))), std::to_string(i));
    }
}

// A folder of A that its reader may not open, for real: the pass runs as a user whom the permission bits
// stop (root is not stopped by them), in a child process.
TEST_F(MirrorDepthTest, AFolderOfAThatCannotBeReadGivesItsErrorLineAndCountsAsFailed) {
    constexpr uid_t kNobody = 65534;
    MakeDirsInA("sub/below");
    MakeDirsInA("later");
    WriteFile(InA("sub/below/x"), "x");
    WriteFile(InA("later/y"), "y");
    WriteFile(At("log.txt"), "");
    for (const std::string& path :
         {A, InA("sub"), InA("sub/below"), InA("sub/below/x"), InA("later"), InA("later/y"), B, At("log.txt")}) {
        ASSERT_EQ(::lchown(path.c_str(), kNobody, kNobody), 0) << path;
    }
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can run the pass as another user here";
    }
    ASSERT_EQ(::chmod(InA("sub").c_str(), 0), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(100);
        }
        try {
            ::_exit(SyncFolderCounting(NativeFs(), RunLog(), A, B));
        } catch (...) {
            ::_exit(101);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod(InA("sub").c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "one failed entry";
    const Lines lines = LogLines();
    const auto sub = std::find(lines.begin(), lines.end(), InA("sub"));
    ASSERT_NE(sub, lines.end());
    ASSERT_NE(sub + 1, lines.end());
    EXPECT_EQ(*(sub + 1), FailureLine(kErrAccessDenied));
    EXPECT_EQ(SortedLogLines(), Sorted({InA("sub"), FailureLine(kErrAccessDenied), InA("later"), InA("later/y"),
                                        kCopy + InB("later/y")}));
    EXPECT_EQ(ReadFile(InB("later/y")), "y");
}

#endif

} // namespace
} // namespace pardova
