// The mirror and the run when things go wrong under them: faults injected through the file-system
// interface and, where the machine allows, made for real; links in B; trees of great depth and width.
// After each fault: A is as it was, the pass went on as usual, and the next pass brings B fully up to date.

#include "app/core/Mirror.h"

#include "app/core/SyncRun.h"
#include "app/core/TestMirrorSupport.h"
#include "app/core/TestTreeSnapshot.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Process.h"
#include "platform/core/TestForwardingFs.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace pardova {
namespace {

using namespace pardova::testing;
using namespace pardova::platform;

// Forwards every call to the native file system, and every step of a walk to the platform's own folders,
// except those a test has chosen to fail; a pass is given it in place of the native one.
class FaultFs final : public ForwardingFs {
public:
    FaultFs() = default;
    FaultFs(const FaultFs&) = delete;
    FaultFs& operator=(const FaultFs&) = delete;

    // True: the search of this folder does not start.
    std::function<bool(const std::string& folder)> RefuseSearch;
    // Runs each time a search has yielded an entry, before the caller sees it.
    std::function<void(const std::string& folder, const DirEntry& entry)> AfterEntry;
    // True: the folder is not created.
    std::function<bool(const std::string& path)> RefuseMakeDirectory;
    // A value: the copy is not made natively, and this is its result.
    std::function<std::optional<bool>(const std::string& source, const std::string& target)> Copy;
    // True: every search yields its entries sorted by name, so that a test may rely on their order.
    bool SortEntries = false;
    // True: the sub-folder does not open.
    std::function<bool(const std::string& path)> RefuseSubfolder;
    // A value: the entry's data cannot be read, for this reason.
    std::function<std::optional<uint32_t>(const std::string& path)> FailEntryData;

protected:
    std::unique_ptr<FolderHandle> FolderOpenSubfolder(FolderHandle& folder, const std::string& name,
                                                      const std::string& path, bool followLinks,
                                                      uint32_t& error) override {
        if (RefuseSubfolder && RefuseSubfolder(path)) {
            error = kErrAccessDenied;
            return nullptr;
        }
        return ForwardingFs::FolderOpenSubfolder(folder, name, path, followLinks, error);
    }
    std::optional<FileAttributeData> FolderEntryData(FolderHandle& folder, const std::string& name,
                                                     const std::string& path, uint32_t* error) override {
        if (FailEntryData) {
            if (const std::optional<uint32_t> failure = FailEntryData(path)) {
                if (error != nullptr) {
                    *error = *failure;
                }
                return std::nullopt;
            }
        }
        return ForwardingFs::FolderEntryData(folder, name, path, error);
    }
    std::unique_ptr<DirectorySearch> FolderSearch(FolderHandle& folder, const std::string& folderPath,
                                                  uint32_t& error) override {
        if (RefuseSearch && RefuseSearch(folderPath)) {
            error = kErrAccessDenied;
            return nullptr;
        }
        std::unique_ptr<DirectorySearch> inner = ForwardingFs::FolderSearch(folder, folderPath, error);
        if (inner != nullptr && SortEntries) {
            inner = std::make_unique<SortedSearch>(*inner);
        }
        if (inner == nullptr || !AfterEntry) {
            return inner;
        }
        return std::make_unique<Search>(std::move(inner), folderPath, AfterEntry);
    }
    bool FolderCopyFileHere(FolderHandle& folder, FolderHandle& source, const std::string& sourceName,
                            const std::string& sourcePath, const std::string& name, const std::string& path,
                            uint32_t* error, CopyBatch* batch, uint64_t tag) override {
        if (Copy) {
            if (const std::optional<bool> result = Copy(sourcePath, path)) {
                if (!*result && error != nullptr) {
                    *error = kErrDiskFull; // an injected failure reads as a full disk
                }
                return *result;
            }
        }
        return ForwardingFs::FolderCopyFileHere(folder, source, sourceName, sourcePath, name, path, error, batch, tag);
    }
    bool FolderMakeSubfolder(FolderHandle& folder, const std::string& name, const std::string& path, FolderHandle* like,
                             uint32_t* error) override {
        if (RefuseMakeDirectory && RefuseMakeDirectory(path)) {
            if (error != nullptr) {
                *error = kErrAccessDenied; // an injected refusal reads as a folder the runner may not write
            }
            return false;
        }
        return ForwardingFs::FolderMakeSubfolder(folder, name, path, like, error);
    }

private:
    class SortedSearch final : public DirectorySearch {
    public:
        explicit SortedSearch(DirectorySearch& inner) {
            DirEntry entry;
            while (inner.Next(entry)) {
                FEntries.push_back(entry);
            }
            std::sort(FEntries.begin(), FEntries.end(),
                      [](const DirEntry& a, const DirEntry& b) { return a.Name < b.Name; });
        }
        bool Next(DirEntry& entry) override {
            if (FNext == FEntries.size()) {
                return false;
            }
            entry = FEntries[FNext++];
            return true;
        }

    private:
        std::vector<DirEntry> FEntries;
        size_t FNext = 0;
    };

    class Search final : public DirectorySearch {
    public:
        Search(std::unique_ptr<DirectorySearch> inner, std::string folder,
               std::function<void(const std::string&, const DirEntry&)> after)
            : FInner(std::move(inner)), FFolder(std::move(folder)), FAfter(std::move(after)) {}
        bool Next(DirEntry& entry) override {
            if (!FInner->Next(entry)) {
                return false;
            }
            FAfter(FFolder, entry);
            return true;
        }

    private:
        std::unique_ptr<DirectorySearch> FInner;
        std::string FFolder;
        std::function<void(const std::string&, const DirEntry&)> FAfter;
    };
};

class MirrorReliabilityTest : public MirrorFixture {
protected:
    void SetUp() override {
        MirrorFixture::SetUp();
        MakeDirs("A/sub/deeper");
        MakeDirs("A/empty");
        MakeDirs("B");
        WriteFile(InA("a.txt"), "alpha");
        WriteFile(InA("sub/b.bin"), std::string(3000, 'b'));
        WriteFile(InA("sub/deeper/c"), "gamma");
    }

    // Every folder and file of A is in B, each file with A's size, time and bytes.
    void ExpectUpToDate() const {
        const Tree a = Snapshot(A);
        const Tree b = Snapshot(B);
        for (const auto& [path, item] : a) {
            const auto found = b.find(path);
            if (found == b.end()) {
                ADD_FAILURE() << path << " is missing in B";
                continue;
            }
            EXPECT_EQ(found->second, item) << path << " differs in B";
        }
    }

    // The lines of a first pass over the fixture's A into an empty B, with the failure lines of the
    // entries that failed (for the errors given, in any order).
    Lines FirstPassLines(const std::vector<uint32_t>& failures = {}) const {
        Lines lines{InA("a.txt"),        kCopy + InB("a.txt"),        InA("sub"),
                    InA("sub/b.bin"),    kCopy + InB("sub/b.bin"),    InA("sub/deeper"),
                    InA("sub/deeper/c"), kCopy + InB("sub/deeper/c"), InA("empty")};
        for (const uint32_t error : failures) {
            lines.push_back(FailureLine(error));
        }
        return Sorted(lines);
    }
};

TEST_F(MirrorReliabilityTest, ASourceFileVanishingBeforeItsCopyLeavesBAsItWas) {
    WriteFile(InA("gone-new"), "never copied");
    WriteFile(InA("gone-old"), "newer in A");
    WriteFile(InB("gone-old"), "older copy in B");
    ShiftWriteTime(InB("gone-old"), std::chrono::seconds(-120));
    {
        FaultFs fs;
        // The file disappears right after the search has named it, as another program might delete it.
        fs.AfterEntry = [this](const std::string&, const DirEntry& entry) {
            if (entry.Name.rfind("gone-", 0) == 0) {
                stdfs::remove(PathFromUtf8(InA(entry.Name)));
            }
        };
        SyncFolderCounting(fs, RunLog(), A, B);
    }
    Lines expected = FirstPassLines();
    for (const std::string name : {"gone-new", "gone-old"}) {
        expected.push_back(InA(name));
        expected.push_back(kCopy + InB(name));
        expected.push_back(FailureLine(kErrFileNotFound));
    }
    EXPECT_EQ(SortedLogLines(), Sorted(expected));
    // A copy whose source is gone creates nothing and does not truncate what B held.
    EXPECT_FALSE(Exists(InB("gone-new")));
    EXPECT_EQ(ReadFile(InB("gone-old")), "older copy in B");
    ExpectUpToDate();
}

TEST_F(MirrorReliabilityTest, AnUnreadableSourceFolderCountsAsEmptyUntilItCanBeRead) {
    const Tree before = Snapshot(A);
    {
        FaultFs fs;
        fs.RefuseSearch = [this](const std::string& folder) { return folder.rfind(InA("sub"), 0) == 0; };
        // Nothing below it is visited, and the pass says so instead of passing as complete.
        EXPECT_EQ(SyncFolderCounting(fs, RunLog(), A, B), 1);
    }
    EXPECT_EQ(SortedLogLines(),
              Sorted({InA("a.txt"), kCopy + InB("a.txt"), InA("sub"), FailureLine(kErrAccessDenied), InA("empty")}));
    const Lines lines = LogLines();
    const auto sub = std::find(lines.begin(), lines.end(), InA("sub"));
    ASSERT_NE(sub, lines.end());
    ASSERT_NE(sub + 1, lines.end());
    EXPECT_EQ(*(sub + 1), FailureLine(kErrAccessDenied));
    EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(InB("sub"))));
    EXPECT_TRUE(stdfs::is_empty(PathFromUtf8(InB("sub"))));
    EXPECT_EQ(Snapshot(A), before);

    ClearLog();
    SyncFolder(A, B);
    EXPECT_EQ(SortedLogLines(),
              Sorted({InA("a.txt"), InA("sub"), InA("sub/b.bin"), kCopy + InB("sub/b.bin"), InA("sub/deeper"),
                      InA("sub/deeper/c"), kCopy + InB("sub/deeper/c"), InA("empty")}));
    ExpectUpToDate();
    EXPECT_EQ(Snapshot(A), before);
}

#ifndef _WIN32
TEST_F(MirrorReliabilityTest, AFolderWithoutReadPermissionForReal) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root; the injected refusal covers this case";
    }
    stdfs::permissions(PathFromUtf8(InA("sub")), stdfs::perms::none);
    SyncFolder(A, B);
    stdfs::permissions(PathFromUtf8(InA("sub")), stdfs::perms::owner_all);
    EXPECT_EQ(SortedLogLines(),
              Sorted({InA("a.txt"), kCopy + InB("a.txt"), InA("sub"), FailureLine(kErrAccessDenied), InA("empty")}));
    SyncFolder(A, B);
    ExpectUpToDate();
}
#endif

TEST_F(MirrorReliabilityTest, ADestinationFolderThatCannotBeCreatedIsWalkedAndLoggedAndMadeNextTime) {
    const Tree before = Snapshot(A);
    {
        FaultFs fs;
        fs.RefuseMakeDirectory = [this](const std::string& path) { return path == InB("sub"); };
        SyncFolderCounting(fs, RunLog(), A, B);
    }
    // Every entry below the missing folder is still logged, each file with its (failing) copy; the folder
    // and each of those copies have their failure lines.
    EXPECT_EQ(SortedLogLines(), FirstPassLines({kErrAccessDenied, kErrPathNotFound, kErrPathNotFound}));
    EXPECT_FALSE(Exists(InB("sub")));
    EXPECT_EQ(ReadFile(InB("a.txt")), "alpha");
    EXPECT_EQ(Snapshot(A), before);

    SyncFolder(A, B);
    ExpectUpToDate();
}

TEST_F(MirrorReliabilityTest, AFolderThatDoesNotOpenIsPassedOverAndEnteredNextTime) {
    struct Case {
        const char* What;
        bool InA; // the folder of A does not open; else its destination in B
        Lines Expected;
    };
    const Case cases[] = {
        // Nothing below an unopened source folder is seen, and the pass says so; its destination is made
        // all the same.
        {"in A", true,
         Sorted({InA("a.txt"), kCopy + InB("a.txt"), InA("sub"), FailureLine(kErrAccessDenied), InA("empty")})},
        // Every entry below it is logged, each copy with its failure; nothing is made there.
        {"in B", false, FirstPassLines({kErrPathNotFound, kErrPathNotFound})},
    };
    const Tree before = Snapshot(A);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        stdfs::remove_all(PathFromUtf8(B));
        MakeDirs("B");
        ClearLog();
        {
            FaultFs fs;
            fs.RefuseSubfolder = [&](const std::string& path) { return path == (c.InA ? InA("sub") : InB("sub")); };
            SyncFolderCounting(fs, RunLog(), A, B);
        }
        EXPECT_EQ(SortedLogLines(), c.Expected);
        EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(InB("sub"))));
        EXPECT_TRUE(stdfs::is_empty(PathFromUtf8(InB("sub"))));
        SyncFolder(A, B);
        ExpectUpToDate();
        EXPECT_EQ(Snapshot(A), before);
    }
}

TEST_F(MirrorReliabilityTest, AnEntryOfBThatCannotBeReadIsCopiedAgainNeverPassedOverAsCurrent) {
    SyncFolder(A, B);
    WriteFile(InA("sub/b.bin"), "changed in A");
    ClearLog();
    {
        FaultFs fs;
        // The destination's data cannot be read, while the folder's listing still shows the file.
        fs.FailEntryData = [this](const std::string& path) -> std::optional<uint32_t> {
            if (path == InB("a.txt") || path == InB("sub/b.bin")) {
                return kErrAccessDenied;
            }
            return std::nullopt;
        };
        SyncFolderCounting(fs, RunLog(), A, B);
    }
    EXPECT_EQ(SortedLogLines(),
              Sorted({InA("a.txt"), kCopy + InB("a.txt"), InA("sub"), InA("sub/b.bin"), kCopy + InB("sub/b.bin"),
                      InA("sub/deeper"), InA("sub/deeper/c"), InA("empty")}));
    ExpectUpToDate();
}

TEST_F(MirrorReliabilityTest, AReadOnlyDestinationFileStaysUntilItMayBeWritten) {
    SyncFolder(A, B);
    WriteFile(InA("a.txt"), "alpha, edited");
    WriteFile(InB("a.txt"), "kept");
    MakeReadOnly(InB("a.txt"));
    const Tree before = Snapshot(A);
    for (int pass = 0; pass < 2; ++pass) {
        ClearLog();
        SyncFolder(A, B);
        const Lines lines = LogLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), kCopy + InB("a.txt")), lines.end()) << "pass " << pass;
        EXPECT_EQ(ReadFile(InB("a.txt")), "kept") << "pass " << pass;
    }
    EXPECT_EQ(Snapshot(A), before);

    stdfs::permissions(PathFromUtf8(InB("a.txt")), stdfs::perms::owner_write, stdfs::perm_options::add);
    SyncFolder(A, B);
    ExpectUpToDate();
}

TEST_F(MirrorReliabilityTest, KindClashesInBLeaveBAloneAndHealOnceTheClashIsGone) {
    // A file in A meets a folder in B; a folder in A meets a file in B.
    MakeDirs("B/a.txt");
    WriteFile(InB("a.txt/inside"), "B's own");
    WriteFile(InB("sub"), "a file where A has a folder");
    const Tree before = Snapshot(A);
    SyncFolder(A, B);
    EXPECT_EQ(SortedLogLines(),
              FirstPassLines({kErrAccessDenied, kErrAlreadyExists, kErrPathNotFound, kErrPathNotFound}));
    EXPECT_EQ(ReadFile(InB("a.txt/inside")), "B's own");
    EXPECT_EQ(ReadFile(InB("sub")), "a file where A has a folder");
    EXPECT_EQ(Snapshot(A), before);

    stdfs::remove_all(PathFromUtf8(InB("a.txt")));
    stdfs::remove(PathFromUtf8(InB("sub")));
    SyncFolder(A, B);
    ExpectUpToDate();
}

TEST_F(MirrorReliabilityTest, ACopyFailingHalfWayIsMadeAgainOnTheNextPass) {
    // Injected: the copy writes half the bytes and reports failure, as on a full disk.
    {
        FaultFs fs;
        fs.Copy = [this](const std::string& source, const std::string& target) -> std::optional<bool> {
            if (target != InB("sub/b.bin")) {
                return std::nullopt;
            }
            const std::string content = ReadFile(source);
            WriteFile(target, content.substr(0, content.size() / 2));
            return false;
        };
        SyncFolderCounting(fs, RunLog(), A, B);
    }
    EXPECT_EQ(SortedLogLines(), FirstPassLines({kErrDiskFull}));
    ClearLog();
    SyncFolder(A, B);
    EXPECT_EQ(SortedLogLines(), Sorted({InA("a.txt"), InA("sub"), InA("sub/b.bin"), kCopy + InB("sub/b.bin"),
                                        InA("sub/deeper"), InA("sub/deeper/c"), InA("empty")}));
    ExpectUpToDate();
}

#ifndef _WIN32
// The native copy itself cut short by the file-size limit, which fails its writes part-way just as a full
// disk would: what it leaves must not pass for current.
TEST_F(MirrorReliabilityTest, TheNativeCopyCutShortNeverLooksCurrent) {
    const std::string big(1 << 20, 'x');
    WriteFile(InA("big"), big);
    WriteFile(InB("big"), "an older, complete copy");
    ShiftWriteTime(InB("big"), std::chrono::seconds(-60));
    const Tree before = Snapshot(A);

    const bool copied =
        WithFileSizeLimit(64 * 1024, [&] { return NativeFs().CopyFileReplacing(InA("big"), InB("big")); });

    EXPECT_FALSE(copied);
    // The previous, complete copy is still there, and nothing of the cut-short one is left beside it.
    EXPECT_EQ(ReadFile(InB("big")), "an older, complete copy");
    EXPECT_EQ(std::distance(stdfs::directory_iterator(PathFromUtf8(B)), stdfs::directory_iterator()), 1);
    const std::optional<FileAttributeData> source = NativeFs().GetAttributeData(InA("big"));
    const std::optional<FileAttributeData> partial = NativeFs().GetAttributeData(InB("big"));
    ASSERT_TRUE(source && partial);
    EXPECT_FALSE(partial->Size == source->Size && partial->LastWriteTime == source->LastWriteTime)
        << "a partial copy carries its source's size and time";
    EXPECT_EQ(Snapshot(A), before);

    SyncFolder(A, B);
    ExpectUpToDate();
}

TEST_F(MirrorReliabilityTest, ALinkInBIsNeverWrittenThrough) {
    MakeDirs("outside");
    WriteFile(At("outside/target"), "outside B");
    // a.txt in B leads out of B; sub/b.bin in B leads back into A, onto another of A's files.
    std::error_code ec;
    stdfs::create_symlink(PathFromUtf8(At("outside/target")), PathFromUtf8(InB("a.txt")), ec);
    ASSERT_FALSE(ec) << ec.message();
    MakeDirs("B/sub");
    stdfs::create_symlink(PathFromUtf8(InA("sub/deeper/c")), PathFromUtf8(InB("sub/b.bin")), ec);
    ASSERT_FALSE(ec) << ec.message();
    const Tree before = Snapshot(A);
    const Tree outside = Snapshot(At("outside"));

    for (int pass = 0; pass < 2; ++pass) {
        ClearLog();
        SyncFolder(A, B);
        EXPECT_EQ(Snapshot(At("outside")), outside) << "pass " << pass;
        EXPECT_EQ(Snapshot(A), before) << "pass " << pass;
        EXPECT_TRUE(stdfs::is_symlink(PathFromUtf8(InB("a.txt")))) << "pass " << pass;
        EXPECT_TRUE(stdfs::is_symlink(PathFromUtf8(InB("sub/b.bin")))) << "pass " << pass;
        // The refused copies are logged as any other copy is.
        const Lines lines = LogLines();
        for (const std::string& copy : {kCopy + InB("a.txt"), kCopy + InB("sub/b.bin")}) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), copy), lines.end()) << copy << ", pass " << pass;
        }
    }
    EXPECT_EQ(ReadFile(InB("sub/deeper/c")), "gamma");
}
#endif

TEST_F(MirrorReliabilityTest, ALogHeldByAnotherWriterEndsTheRunBeforeAnythingIsDone) {
    WriteFile(At("log.txt"), "earlier\r\n");
    const std::string missingB = At("newB");
    {
        const std::unique_ptr<FileStream> holder =
            NativeFs().OpenStream(At("log.txt"), StreamMode::OpenReadWriteDenyWrite);
        for (const std::string& dest : {missingB, B}) {
            try {
                DoSync(A, dest, "", [] { return false; });
                ADD_FAILURE() << "the run went on past its log into " << dest;
            } catch (const EFOpenError& e) {
                EXPECT_EQ(e.Message().rfind("Cannot open file \"" + At("log.txt") + "\". ", 0), 0u) << e.Message();
            }
        }
    }
    EXPECT_EQ(ReadFile(At("log.txt")), "earlier\r\n");
    EXPECT_FALSE(Exists(missingB));
    EXPECT_TRUE(stdfs::is_empty(PathFromUtf8(B)));

    DoSync(A, B, "", [] { return false; });
    ExpectUpToDate();
}

// Fails the line numbered `failAt` (from 1) as a log that another writer holds does, and takes its time
// over every line, so that a walk that did not wait for its lines before a change would run ahead of them.
class FailingSlowLog final : public LogSink {
public:
    explicit FailingSlowLog(size_t failAt) : FFailAt(failAt) {}
    void Write(const std::string& line) override {
        std::this_thread::sleep_for(std::chrono::microseconds{500});
        if (++FAttempts == FFailAt) {
            throw EFOpenError("Cannot open file \"log.txt\". held", "log.txt", kErrSharingViolation);
        }
        Lines.push_back(line);
    }
    testing::Lines Lines;

private:
    const size_t FFailAt;
    size_t FAttempts = 0;
};

// A line that fails ends the pass at that line: whatever its lines before announced is done (a folder
// made, a copy restricted), nothing after it is, and the failure leaves the pass.
TEST_F(MirrorReliabilityTest, ALogLineThatFailsEndsThePassBeforeEveryChangeAfterIt) {
    const std::vector<std::string> folders = {"sub", "sub/deeper", "empty", "x", "x/y", "x/y/z"};
    for (const std::string& folder : folders) {
        MakeDirs("F/" + folder);
    }
    for (size_t failAt = 1; failAt <= folders.size() + 1; ++failAt) {
        const std::string destName = std::to_string(failAt) + "B/";
        MakeDirs(destName);
        FailingSlowLog log(failAt);
        bool raised = false;
        try {
            SyncFolderCounting(NativeFs(), log, At("F"), At(destName));
        } catch (const EFOpenError&) {
            raised = true;
        }
        EXPECT_EQ(raised, failAt <= folders.size()) << "line " << failAt;
        for (const std::string& folder : folders) {
            EXPECT_EQ(Exists(At(destName + folder)), Contains(log.Lines, At("F/" + folder)))
                << folder << " with line " << failAt << " failing";
        }
    }
#ifndef _WIN32
    // A copy that its source has made more private since: restricted only once its file's line is written.
    SyncFolderCounting(NativeFs(), RunLog(), A, B);
    for (size_t failAt = 1; failAt <= 7; ++failAt) {
        ::chmod(InB("sub/b.bin").c_str(), 0644);
        ::chmod(InA("sub/b.bin").c_str(), 0600);
        FailingSlowLog log(failAt);
        bool raised = false;
        try {
            SyncFolderCounting(NativeFs(), log, A, B);
        } catch (const EFOpenError&) {
            raised = true;
        }
        EXPECT_EQ(raised, failAt <= 6) << "line " << failAt;
        struct stat st {};
        ASSERT_EQ(::stat(InB("sub/b.bin").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, Contains(log.Lines, InA("sub/b.bin")) ? 0600u : 0644u) << "line " << failAt;
    }
#endif
}

// ---- folders let go of and opened again --------------------------------------------------------------

#ifndef _WIN32
// With few handles to spare the walk lets go of the folders above a deep one and opens them again when it
// comes back. A folder put in the place of one of them meanwhile, on either side, is neither entered nor
// written into, and the pass says so.
class MirrorReopenTest : public MirrorReliabilityTest {
protected:
    void SetUp() override {
        MirrorReliabilityTest::SetUp();
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &FSaved), 0);
        // p/a holds a chain deep enough that p is let go of on the way down; p/z comes after it.
        MakeDirs("A/p/a/b/c/d");
        WriteFile(InA("p/a/b/c/d/bottom"), "bottom");
        WriteFile(InA("p/z"), "z from A");
    }
    void TearDown() override {
        ::setrlimit(RLIMIT_NOFILE, &FSaved);
        MirrorReliabilityTest::TearDown();
    }

    // A pass whose walk may hold only the least number of handles, with `swap` run when it has reached
    // the bottom of the chain.
    int PassSwapping(const std::function<void()>& swap) {
        FaultFs fs;
        fs.SortEntries = true;
        fs.AfterEntry = [&](const std::string& pattern, const DirEntry& entry) {
            if (pattern == InA("p/a/b/c/d") && entry.Name == ".") {
                swap();
            }
        };
        struct rlimit low = FSaved;
        low.rlim_cur = 32;
        EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
        const int failures = SyncFolderCounting(fs, RunLog(), A, B);
        ::setrlimit(RLIMIT_NOFILE, &FSaved);
        return failures;
    }

    // Puts another folder in the place of `folder`, the one there moved aside. The other folder holds the
    // chain as well (this test's file system reaches the folder being walked by its path), for A with
    // the file at its bottom and a file z of its own.
    void SwapIn(const std::string& folder) {
        MakeDirs(folder + "-new/a/b/c/d");
        if (folder[0] == 'A') {
            WriteFile(At(folder + "-new/a/b/c/d/bottom"), "bottom");
            WriteFile(At(folder + "-new/z"), "z from an impostor");
        }
        stdfs::rename(PathFromUtf8(At(folder)), PathFromUtf8(At(folder + "-old")));
        stdfs::rename(PathFromUtf8(At(folder + "-new")), PathFromUtf8(At(folder)));
    }

    struct rlimit FSaved {};
};

TEST_F(MirrorReopenTest, WithNothingSwappedTheWalkComesBackToEveryFolderItLetGoOf) {
    EXPECT_EQ(PassSwapping([] {}), 0);
    EXPECT_EQ(LogLines(),
              Lines({InA("a.txt"), kCopy + InB("a.txt"), InA("empty"), InA("p"), InA("p/a"), InA("p/a/b"),
                     InA("p/a/b/c"), InA("p/a/b/c/d"), InA("p/a/b/c/d/bottom"), kCopy + InB("p/a/b/c/d/bottom"),
                     InA("p/z"), kCopy + InB("p/z"), InA("sub"), InA("sub/b.bin"), kCopy + InB("sub/b.bin"),
                     InA("sub/deeper"), InA("sub/deeper/c"), kCopy + InB("sub/deeper/c")}));
    EXPECT_EQ(ReadFile(InB("p/z")), "z from A");
    EXPECT_EQ(ReadFile(InB("p/a/b/c/d/bottom")), "bottom");
    ExpectUpToDate();
}

TEST_F(MirrorReopenTest, ASourceFolderSwappedMeanwhileIsNotEntered) {
    const int failures = PassSwapping([this] { SwapIn("A/p"); });
    const Lines lines = LogLines();
    EXPECT_EQ(failures, 1) << ::testing::PrintToString(lines);
    EXPECT_FALSE(Contains(lines, InA("p/z")));
    EXPECT_FALSE(Exists(InB("p/z")));
    // The failure line follows the last line of the folder's part that was walked.
    const auto bottom = std::find(lines.begin(), lines.end(), kCopy + InB("p/a/b/c/d/bottom"));
    ASSERT_NE(bottom, lines.end());
    ASSERT_NE(bottom + 1, lines.end());
    EXPECT_EQ(*(bottom + 1), FailureLine(kErrFileNotFound));
}

TEST_F(MirrorReopenTest, ADestinationFolderSwappedMeanwhileIsNotWrittenInto) {
    const int failures = PassSwapping([this] { SwapIn("B/p"); });
    // The swap itself, and the copy that had no folder of B's own to go to.
    EXPECT_EQ(failures, 2);
    const Lines lines = LogLines();
    const auto z = std::find(lines.begin(), lines.end(), kCopy + InB("p/z"));
    ASSERT_NE(z, lines.end());
    ASSERT_NE(z + 1, lines.end());
    EXPECT_EQ(*(z + 1), FailureLine(kErrPathNotFound));
    EXPECT_EQ(*(z - 2), FailureLine(kErrFileNotFound));
    EXPECT_FALSE(Exists(InB("p/z")));
    EXPECT_FALSE(Exists(At("B/p-old/z")));
}
#endif

// ---- scale ---------------------------------------------------------------------------------------------

TEST_F(MirrorReliabilityTest, ATreeAThousandFoldersDeepMirrorsWithTheOpenFileLimitRaised) {
    // Under Wine every call on a long path costs time in proportion to its length; there a tree of 300
    // levels (paths far beyond the 260-character limit) shows the same, and the full depth runs natively.
    const int kDepth = RunningUnderWine() ? 300 : 1000;
#ifndef _WIN32
    // Start from a low limit, as some systems set it, so that the walk's one open search per level would
    // run out of handles without the raise.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max < static_cast<rlim_t>(kDepth) + 100) {
        GTEST_SKIP() << "the hard limit of open files (" << saved.rlim_max << ") is below the tree's depth";
    }
    struct rlimit low = saved;
    low.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
#endif
    EXPECT_TRUE(RaiseOpenFileLimit());

    stdfs::path folder = PathFromUtf8(A);
    for (int level = 0; level < kDepth; ++level) {
        folder /= "d";
        std::error_code ec;
        stdfs::create_directory(folder, ec);
        if (ec) {
            GTEST_SKIP() << "the test cannot build a tree this deep here (level " << level << "): " << ec.message();
        }
        if (level % 100 == 99) {
            WriteFile(Utf8FromPath(folder / "f"), std::to_string(level));
        }
    }
    SyncFolder(A, B);
#ifndef _WIN32
    ::setrlimit(RLIMIT_NOFILE, &saved);
#endif
    // Checked level by level through the platform layer, which handles paths of any length on every
    // platform (the test runtime's own folder iteration does not on Windows).
    std::string a = A;
    std::string b = B;
    for (int level = 0; level < kDepth; ++level) {
        a = IncludeSlash(a) + "d";
        b = IncludeSlash(b) + "d";
        uint32_t error = 0;
        const std::optional<uint32_t> attributes = NativeFs().GetAttributes(b, &error);
        ASSERT_TRUE(attributes && (*attributes & kAttrDirectory) != 0) << "level " << level << " is missing in B";
        if (level % 100 == 99) {
            const std::optional<FileAttributeData> source = NativeFs().GetAttributeData(IncludeSlash(a) + "f");
            const std::optional<FileAttributeData> copy = NativeFs().GetAttributeData(IncludeSlash(b) + "f");
            ASSERT_TRUE(source && copy) << "level " << level;
            EXPECT_EQ(copy->LastWriteTime, source->LastWriteTime) << "level " << level;
            EXPECT_EQ(ReadThroughFs(IncludeSlash(b) + "f"), std::to_string(level)) << "level " << level;
        }
    }
}

TEST_F(MirrorReliabilityTest, AFolderOfAHundredThousandEntriesMirrorsCompletely) {
    // Wine's file calls are many times slower; the full count runs natively.
    const int count = RunningUnderWine() ? 5000 : 100000;
    MakeDirs("A/wide");
    const std::string wide = InA("wide/");
    for (int i = 0; i < count; ++i) {
        std::ofstream(PathFromUtf8(wide + std::to_string(i)), std::ios::binary);
    }
    SyncFolder(A, B);

    int found = 0;
    for (const auto& entry : stdfs::directory_iterator(PathFromUtf8(InB("wide")))) {
        ++found;
        const std::string name = Utf8FromPath(entry.path().filename());
        const std::optional<FileAttributeData> source = NativeFs().GetAttributeData(wide + name);
        const std::optional<FileAttributeData> copy = NativeFs().GetAttributeData(Utf8FromPath(entry.path()));
        ASSERT_TRUE(source && copy) << name;
        ASSERT_EQ(copy->LastWriteTime, source->LastWriteTime) << name;
        ASSERT_EQ(copy->Size, 0u) << name;
    }
    EXPECT_EQ(found, count);
}

} // namespace
} // namespace pardova
