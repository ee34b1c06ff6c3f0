// What a pass may touch: nothing in A, nothing outside B, and never B's last good copy of a file. Each case
// sets up B (or A and B together) the way a careless or hostile user could, runs real passes, and checks
// every byte of A and of what lies outside B afterwards.

#include "app/core/Mirror.h"

#include "app/core/SyncRun.h"
#include "app/core/TestMirrorSupport.h"
#include "app/core/TestTreeSnapshot.h"
#include "platform/core/FileSystem.h"
#include "platform/core/TestForwardingFs.h"

#include <algorithm>
#include <functional>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pardova {
namespace {

using namespace pardova::testing;
using namespace pardova::platform;

class MirrorSafetyTest : public MirrorFixture {
protected:
    // Creates a symbolic link; the error where the platform does not let the test make one.
    static std::error_code Link(const std::string& target, const std::string& link, bool folder) {
        std::error_code ec;
        if (folder) {
            stdfs::create_directory_symlink(PathFromUtf8(target), PathFromUtf8(link), ec);
        } else {
            stdfs::create_symlink(PathFromUtf8(target), PathFromUtf8(link), ec);
        }
        return ec;
    }

    // No temporary file of the mirror's is left anywhere below the folder.
    void ExpectNoPartialCopies(const std::string& folder) const {
        for (const auto& entry : stdfs::recursive_directory_iterator(PathFromUtf8(folder))) {
            EXPECT_EQ(Utf8FromPath(entry.path().filename()).find(".pardova-part"), std::string::npos)
                << Utf8FromPath(entry.path());
        }
    }
};

TEST_F(MirrorSafetyTest, AFolderLinkInBIsNeitherEnteredNorWrittenThrough) {
    MakeDirs("A/sub/deeper");
    MakeDirs("A/other");
    MakeDirs("B");
    MakeDirs("outside");
    WriteFile(InA("sub/f"), "new");
    WriteFile(InA("sub/deeper/g"), "new too");
    WriteFile(InA("other/f"), "A's own file");
    WriteFile(At("outside/f"), "precious");
    // One link leads out of B, one back into A.
    if (const std::error_code ec = Link(At("outside"), InB("sub"), true)) {
        GTEST_SKIP() << "this platform does not let the test make links: " << ec.message();
    }
    if (const std::error_code ec = Link(InA("other"), InB("other"), true)) {
        GTEST_SKIP() << "this platform does not let the test make links: " << ec.message();
    }
    const Tree a = Snapshot(InA(""));
    const Tree outside = Snapshot(At("outside"));

    for (int pass = 0; pass < 2; ++pass) {
        ClearLog();
        SyncFolder(At("A"), At("B"));
        EXPECT_EQ(Snapshot(At("outside")), outside) << "pass " << pass;
        EXPECT_EQ(Snapshot(InA("")), a) << "pass " << pass;
        EXPECT_TRUE(stdfs::is_symlink(PathFromUtf8(InB("sub"))));
        EXPECT_TRUE(stdfs::is_symlink(PathFromUtf8(InB("other"))));
        // Logged exactly as a destination folder that could not be created: every entry, every copy.
        Lines lines = LogLines();
        std::sort(lines.begin(), lines.end());
        // A link is a folder that is there, so only the copies below it fail.
        const std::string failed = FailureLine(kErrPathNotFound);
        Lines expected{InA("sub"),        InA("sub/f"),        kCopy + InB("sub/f"),        failed,
                       InA("sub/deeper"), InA("sub/deeper/g"), kCopy + InB("sub/deeper/g"), failed,
                       InA("other"),      InA("other/f"),      kCopy + InB("other/f"),      failed};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(lines, expected) << "pass " << pass;
    }
    EXPECT_FALSE(Exists(At("outside/deeper")));
}

// Runs `Swap` once, when the walk is about to make its first copy into the folder `At` of B: after the walk
// has checked and opened that folder and the file's place in it, before it writes there.
class SwappingFs final : public ForwardingFs {
public:
    explicit SwappingFs(std::string folder) : FFolder(std::move(folder)) {}
    SwappingFs(const SwappingFs&) = delete;
    SwappingFs& operator=(const SwappingFs&) = delete;

    std::function<void()> Swap;
    bool Swapped = false;

protected:
    bool FolderCopyFileHere(FolderHandle& folder, FolderHandle& source, const std::string& sourceName,
                            const std::string& sourcePath, const std::string& name, const std::string& path,
                            uint32_t* error, CopyBatch* batch, uint64_t tag) override {
        if (!Swapped && path == IncludeSlash(FFolder) + name) {
            Swapped = true;
            Swap();
        }
        return ForwardingFs::FolderCopyFileHere(folder, source, sourceName, sourcePath, name, path, error, batch, tag);
    }

private:
    std::string FFolder;
};

TEST_F(MirrorSafetyTest, AFolderOfBSwappedDuringThePassNeverReceivesAWrite) {
    // B/sub is moved aside and something that leads elsewhere takes its name, between the walk's check of
    // the folder and its first write there: a path-based walk would write into what took the name.
    struct Case {
        const char* What;
        bool AsLink; // a link to the other folder, where the platform lets the test make one; else the folder
    };
    const Case cases[] = {{"a folder renamed into its place", false}, {"a link to a folder outside B", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string root = std::string(c.AsLink ? "link" : "rename") + "/";
        MakeDirs(root + "A/sub/deeper");
        MakeDirs(root + "B");
        MakeDirs(root + "elsewhere");
        WriteFile(At(root + "A/sub/f"), "A's f");
        WriteFile(At(root + "A/sub/g"), "A's g");
        WriteFile(At(root + "A/sub/deeper/h"), "A's h");
        WriteFile(At(root + "elsewhere/mine"), "not B's");
        const std::string sub = At(root + "B/sub");
        const std::string held = At(root + "B/sub-held");
        const std::string elsewhere = At(root + "elsewhere");
        const Tree before = Snapshot(elsewhere);
        bool linkMade = true;
        {
            SwappingFs fs(sub);
            fs.Swap = [&] {
                stdfs::rename(PathFromUtf8(sub), PathFromUtf8(held));
                if (!c.AsLink) {
                    stdfs::rename(PathFromUtf8(elsewhere), PathFromUtf8(sub));
                } else {
                    linkMade = !Link(elsewhere, sub, true) && Exists(sub);
                }
            };
            SyncFolderCounting(fs, RunLog(), At(root + "A"), At(root + "B"));
            ASSERT_TRUE(fs.Swapped);
        }
        if (!linkMade) {
            continue; // this platform does not let the test make links; the rename case stands for it
        }
        // What took the name holds exactly what it held, and the walk's writes all went into the folder it
        // had checked and opened.
        EXPECT_EQ(Snapshot(c.AsLink ? elsewhere : sub), before);
        if (RunningUnderWine()) {
            // Wine renames by the names its handles had when opened: a copy into the moved folder cannot be
            // renamed into place there, and fails (its temporary stays, for a later pass to remove).
            continue;
        }
        EXPECT_EQ(Snapshot(held), Snapshot(At(root + "A/sub")));
    }
}

TEST_F(MirrorSafetyTest, AHardLinkInBIsReplacedNeverWrittenThrough) {
    // B made as a tree of hard links to A's files; then A's report is renamed and a new one written.
    MakeDirs("A");
    MakeDirs("B");
    WriteFile(InA("report.txt"), "version 1");
    std::error_code ec;
    stdfs::create_hard_link(PathFromUtf8(InA("report.txt")), PathFromUtf8(InB("report.txt")), ec);
    if (ec) {
        GTEST_SKIP() << "no hard links here: " << ec.message();
    }
    stdfs::rename(PathFromUtf8(InA("report.txt")), PathFromUtf8(InA("report-old.txt")));
    WriteFile(InA("report.txt"), "version 2, longer");
    const Tree a = Snapshot(InA(""));

    SyncFolder(At("A"), At("B"));
    EXPECT_EQ(Snapshot(InA("")), a);
    EXPECT_EQ(ReadFile(InA("report-old.txt")), "version 1");
    EXPECT_EQ(ReadFile(InB("report.txt")), "version 2, longer");
    EXPECT_EQ(ReadFile(InB("report-old.txt")), "version 1");
    ExpectNoPartialCopies(At("B"));
}

TEST_F(MirrorSafetyTest, BReachedInsideAUnderAnotherNameIsPassedOver) {
    MakeDirs("A/out");
    MakeDirs("A/keep");
    WriteFile(InA("f"), "f");
    WriteFile(InA("keep/g"), "g");
    // B is given through a link that leads to A/out.
    if (const std::error_code ec = Link(InA("out"), At("Bl"), true)) {
        GTEST_SKIP() << "this platform does not let the test make links: " << ec.message();
    }
    SyncFolder(At("A"), At("Bl"));
    const Lines lines = LogLines();
    EXPECT_FALSE(Contains(lines, InA("out"))) << ::testing::PrintToString(lines);
    EXPECT_EQ(ReadFile(InA("out/f")), "f");
    EXPECT_EQ(ReadFile(InA("out/keep/g")), "g");
    EXPECT_FALSE(Exists(InA("out/out")));
    EXPECT_EQ(lines.size(), 5u) << ::testing::PrintToString(lines);
}

TEST_F(MirrorSafetyTest, AInsideBIsNeverWrittenByItsOwnPass) {
    // B is X and A is X/d; A holds a folder d too, whose destination X/d is A itself.
    MakeDirs("X/d/d");
    WriteFile(At("X/d/f"), "A's f");
    WriteFile(At("X/d/d/f"), "A's d/f, another file");
    const Tree a = Snapshot(At("X/d"));
    SyncFolder(At("X/d"), At("X"));
    EXPECT_EQ(Snapshot(At("X/d")), a);
    EXPECT_EQ(ReadFile(At("X/d/f")), "A's f");
    // The walk still logs every entry of A, and the copy it could not make there.
    const Lines lines = LogLines();
    EXPECT_TRUE(Contains(lines, At("X/d/d/f")));
    EXPECT_TRUE(Contains(lines, kCopy + At("X/d/f"))) << ::testing::PrintToString(lines);
    EXPECT_EQ(ReadFile(At("X/f")), "A's f");
}

TEST_F(MirrorSafetyTest, ACopyOntoAnExistingFileLeavesNoPartialCopyBehind) {
    MakeDirs("A");
    MakeDirs("B");
    WriteFile(InA("f"), "new content");
    WriteFile(InB("f"), "old");
    // What an earlier attempt cut short left under the temporary name is replaced.
    WriteFile(InB(PartialCopyName("f")), "left over from a killed pass");
    SyncFolder(At("A"), At("B"));
    EXPECT_EQ(ReadFile(InB("f")), "new content");
    ExpectNoPartialCopies(At("B"));
}

#ifndef _WIN32
class MirrorSafetyPosixTest : public MirrorSafetyTest {
protected:
    static mode_t ModeOf(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }
};

TEST_F(MirrorSafetyPosixTest, AReadOnlySourceCutShortIsCopiedByTheNextPass) {
    MakeDirs("A");
    MakeDirs("B");
    WriteFile(InA("ro"), std::string(1 << 20, 'r'));
    ASSERT_EQ(::chmod(InA("ro").c_str(), 0444), 0);
    WithFileSizeLimit(64 * 1024, [&] {
        SyncFolder(At("A"), At("B"));
        return 0;
    });
    // Whatever the cut-short copy left must neither look current nor refuse the next copy.
    if (Exists(InB("ro"))) {
        EXPECT_NE(ModeOf(InB("ro")) & S_IWUSR, 0u);
    }
    SyncFolder(At("A"), At("B"));
    EXPECT_EQ(ReadFile(InB("ro")), std::string(1 << 20, 'r'));
    EXPECT_EQ(ModeOf(InB("ro")), 0444u);
    EXPECT_TRUE(SameWriteTime(InA("ro"), InB("ro")));
}

TEST_F(MirrorSafetyPosixTest, FoldersKeepTheirPrivacyAndReplacedFilesLoseSetIdBits) {
    struct Case {
        const char* Name;
        mode_t Source;
        mode_t Expected;
    };
    const Case cases[] = {
        {"private", 0700, 0700}, {"group", 0750, 0750}, {"open", 0777, 0777},
        {"locked", 0500, 0700},  {"odd", 0055, 0755},
    };
    MakeDirs("B");
    for (const Case& c : cases) {
        MakeDirs("A/" + std::string(c.Name));
        ASSERT_EQ(::chmod(InA(c.Name).c_str(), c.Source), 0);
    }
    WriteFile(InA("tool"), "new tool");
    WriteFile(InB("tool"), "old tool");
    ASSERT_EQ(::chmod(InB("tool").c_str(), 04755), 0);
    ShiftWriteTime(InB("tool"), std::chrono::seconds(-60));
    SyncFolder(At("A"), At("B"));
    for (const Case& c : cases) {
        EXPECT_EQ(ModeOf(InB(c.Name)), c.Expected) << c.Name;
        ASSERT_EQ(::chmod(InA(c.Name).c_str(), 0755), 0);
    }
    EXPECT_EQ(ReadFile(InB("tool")), "new tool");
    EXPECT_EQ(ModeOf(InB("tool")) & 06000, 0u);
}

TEST_F(MirrorSafetyPosixTest, SparseFilesStaySparseAndAFileIsReadOnlyUpToItsSize) {
    MakeDirs("A");
    MakeDirs("B");
    const off_t size = off_t{5} << 30;
    {
        const int fd = ::open(InA("image").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(fd, "middle", 6, off_t{3} << 30), 6);
        if (::ftruncate(fd, size) != 0) {
            ::close(fd);
            GTEST_SKIP() << "no room for a sparse 5 GiB file here";
        }
        ::close(fd);
    }
    struct stat source {};
    ASSERT_EQ(::stat(InA("image").c_str(), &source), 0);
    if (source.st_blocks * 512 >= size) {
        GTEST_SKIP() << "this file system does not keep holes";
    }
    // A file that reports no size but yields data without end.
    const bool endless = ::access("/proc/self/pagemap", R_OK) == 0;
    if (endless) {
        ASSERT_FALSE(Link("/proc/self/pagemap", InA("endless"), false));
    }
    SyncFolder(At("A"), At("B"));

    struct stat copy {};
    ASSERT_EQ(::stat(InB("image").c_str(), &copy), 0);
    EXPECT_EQ(copy.st_size, size);
    EXPECT_LE(copy.st_blocks * 512, source.st_blocks * 512 + (off_t{1} << 20));
    const int fd = ::open(InB("image").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char buffer[8] = {};
    EXPECT_EQ(::pread(fd, buffer, 4, 0), 4);
    EXPECT_EQ(std::string(buffer, 4), "head");
    EXPECT_EQ(::pread(fd, buffer, 6, off_t{3} << 30), 6);
    EXPECT_EQ(std::string(buffer, 6), "middle");
    EXPECT_EQ(::pread(fd, buffer, 8, (off_t{3} << 30) + 4096), 8);
    EXPECT_EQ(std::string(buffer, 8), std::string(8, '\0'));
    ::close(fd);
    if (endless) {
        ASSERT_TRUE(Exists(InB("endless")));
        EXPECT_EQ(stdfs::file_size(PathFromUtf8(InB("endless"))), 0u);
    }
}

// Removes a tree whose paths may be longer than the platform's path limit, working relative to folders.
void RemoveTreeAt(int parent, const char* name) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        if (DIR* dir = ::fdopendir(fd)) {
            std::vector<std::string> names;
            while (const dirent* d = ::readdir(dir)) {
                if (std::string_view(d->d_name) != "." && std::string_view(d->d_name) != "..") {
                    names.emplace_back(d->d_name);
                }
            }
            for (const std::string& child : names) {
                if (::unlinkat(::dirfd(dir), child.c_str(), 0) != 0) {
                    RemoveTreeAt(::dirfd(dir), child.c_str());
                }
            }
            ::closedir(dir);
        } else {
            ::close(fd);
        }
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

TEST_F(MirrorSafetyPosixTest, PathsBeyondThePlatformLimitMirrorToTheEnd) {
    MakeDirs("A");
    MakeDirs("B");
    // Twenty levels of 250-byte names: the deepest file's path is over 5,000 bytes long.
    const std::string name(250, 'n');
    std::string relative;
    int fd = ::open(InA("").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int level = 0; level < 20; ++level) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
        relative += name + "/";
    }
    const int file = ::openat(fd, "deep", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, "bottom", 6), 6);
    ::close(file);
    ::close(fd);
    ASSERT_GT((InA(relative) + "deep").size(), 4096u);

    SyncFolder(At("A"), At("B"));
    const Lines lines = LogLines();
    EXPECT_TRUE(Contains(lines, InA(relative) + "deep"));
    EXPECT_TRUE(Contains(lines, kCopy + InB(relative) + "deep"));
    int b = ::open(InB("").c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 20 && b >= 0; ++level) {
        const int next = ::openat(b, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(b);
        b = next;
    }
    ASSERT_GE(b, 0) << "B lacks the deep folders";
    const int copy = ::openat(b, "deep", O_RDONLY);
    ::close(b);
    ASSERT_GE(copy, 0);
    char buffer[16] = {};
    EXPECT_EQ(::read(copy, buffer, sizeof buffer), 6);
    ::close(copy);
    EXPECT_EQ(std::string(buffer, 6), "bottom");

    for (const char* side : {"A", "B"}) {
        const int top = ::open(At(side).c_str(), O_RDONLY | O_DIRECTORY);
        RemoveTreeAt(top, name.c_str());
        ::close(top);
    }
}

TEST_F(MirrorSafetyPosixTest, ARelativeBWithDotDotIsWrittenWhereItWasCreated) {
    MakeDirs("A/sub");
    WriteFile(InA("sub/f"), "f");
    const std::string saved = stdfs::current_path().string();
    stdfs::current_path(PathFromUtf8(Root()));
    DoSync("A", "nosuch/../B2", "", [] { return false; });
    ClearLog();
    DoSync("A", "nosuch/../B2", "", [] { return false; });
    stdfs::current_path(saved);
    EXPECT_EQ(ReadFile(At("B2/sub/f")), "f");
    EXPECT_FALSE(Exists(At("nosuch")));
    const Lines lines = LogLines();
    EXPECT_EQ(lines, (Lines{"A/sub", "A/sub/f"}));
}
#endif

} // namespace
} // namespace pardova
