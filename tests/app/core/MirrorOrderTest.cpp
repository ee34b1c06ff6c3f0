// The mirror's fast paths (folders held open, entries looked up by name, one write per log line) against
// the plain walk: a reference pass written the simple way, with a fresh path-based read for every test,
// predicts the run log line for line before the real pass runs.

#include "app/core/Mirror.h"

#include "app/core/TestMirrorSupport.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"

namespace pardova {
namespace {

using namespace pardova::testing;
using namespace pardova::platform;

// The walk in its plainest form, without side effects: the lines a pass over the present trees writes.
void ReferenceWalk(const std::string& sourceFolder, const std::string& destFolder, Lines& lines) {
    const std::string source = IncludeSlash(sourceFolder);
    const std::string dest = IncludeSlash(destFolder);
    const std::unique_ptr<DirectorySearch> search = Fs().FindFirst(source + "*.*");
    if (search == nullptr) {
        return;
    }
    DirEntry entry;
    while (search->Next(entry)) {
        if (entry.Name == "." || entry.Name == "..") {
            continue;
        }
        const std::string sourcePath = source + entry.Name;
        const std::string destPath = dest + entry.Name;
        lines.push_back(sourcePath);
        if ((entry.Attributes & kAttrDirectory) != 0) {
            ReferenceWalk(sourcePath, destPath, lines);
        } else if (!(PlainFileExists(destPath) && SameWriteTime(sourcePath, destPath) &&
                     GetFileSize64(sourcePath) == GetFileSize64(destPath))) {
            lines.push_back(kCopy + destPath);
        }
    }
}

class MirrorOrderTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        // Nested folders, some only in A; files that B lacks, that differ in time or in size, that match;
        // hidden entries; an empty folder; a name that is a file on one side and a folder on the other.
        for (const char* dir : {"A/d1/d11/d111", "A/d1/d12", "A/d2", "A/.hid", "A/empty", "A/clashDir", "B/d1/d11/d111",
                                "B/d2", "B/clashFile"}) {
            MakeDirs(dir);
        }
        struct File {
            const char* Name;
            const char* InA;
            const char* InB; // null: B lacks it
            int Shift;       // seconds B's time differs from A's
        };
        const File files[] = {
            {"top", "t", "t", 0},
            {"d1/same", "same", "same", 0},
            {"d1/newer", "x", "x", 60},
            {"d1/older", "x", "x", -60},
            {"d1/longer", "abc", "ab", 0},
            {"d1/d11/missing", "m", nullptr, 0},
            {"d1/d11/d111/deep", "deep", "deep", 0},
            {"d1/d12/onlyA", "a", nullptr, 0},
            {"d2/same2", "s", "s", 0},
            {".hid/.h", "h", nullptr, 0},
            {"clashFile", "file in A", nullptr, 0},
            {"clashDir/inside", "i", nullptr, 0},
        };
        for (const File& f : files) {
            WriteFile(At(std::string("A/") + f.Name), f.InA);
            if (f.InB != nullptr) {
                WriteFile(At(std::string("B/") + f.Name), f.InB);
                CopyWriteTime(At(std::string("A/") + f.Name), At(std::string("B/") + f.Name),
                              std::chrono::seconds(f.Shift));
            }
        }
        WriteFile(At("B/clashDir"), "file in B");
    }

    // What the plain walk logs, with the failure lines of the clashing names: the folder that cannot be
    // made where B has a file, each copy below it, and the copy onto B's folder.
    Lines Reference() const {
        Lines lines;
        ReferenceWalk(At("A"), At("B"), lines);
        return WithFailures(lines, {{At("A/clashDir"), kErrAlreadyExists},
                                    {kCopy + At("B/clashDir/inside"), kErrPathNotFound},
                                    {kCopy + At("B/clashFile"), kErrAccessDenied}});
    }
};

TEST_F(MirrorOrderTest, EveryPassLogsWhatThePlainWalkLogs) {
    const Lines first = Reference();
    // The fixture is only a test of order if it holds copies, skips and folders alike.
    ASSERT_GT(std::count_if(first.begin(), first.end(), [](const std::string& l) { return l.rfind(kCopy, 0) == 0; }),
              3);
    ASSERT_GT(first.size(), 20u);
    SyncFolder(At("A"), At("B"));
    EXPECT_EQ(LogLines(), first);

    // Once B has taken its copies, only what cannot be copied (the clashing names) is copied again.
    ClearLog();
    const Lines second = Reference();
    SyncFolder(At("A"), At("B"));
    EXPECT_EQ(LogLines(), second);
    const Lines secondCopies = [&] {
        Lines copies;
        for (const std::string& l : second) {
            if (l.rfind(kCopy, 0) == 0) {
                copies.push_back(l);
            }
        }
        std::sort(copies.begin(), copies.end());
        return copies;
    }();
    EXPECT_EQ(secondCopies, (Lines{kCopy + At("B/clashDir/inside"), kCopy + At("B/clashFile")}))
        << ::testing::PrintToString(second);
}

TEST_F(MirrorOrderTest, BEndsHoldingWhatAHolds) {
    SyncFolder(At("A"), At("B"));
    for (const char* name : {"top", "d1/same", "d1/newer", "d1/older", "d1/longer", "d1/d11/missing",
                             "d1/d11/d111/deep", "d1/d12/onlyA", "d2/same2", ".hid/.h"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadFile(At(std::string("B/") + name)), ReadFile(At(std::string("A/") + name)));
        EXPECT_TRUE(SameWriteTime(At(std::string("A/") + name), At(std::string("B/") + name)));
    }
    EXPECT_TRUE(Exists(At("B/empty")));
    EXPECT_EQ(ReadFile(At("B/clashDir")), "file in B");
}

// A letter followed by a number, appended rather than inserted (which one compiler's checks misread).
std::string Numbered(char letter, int number) {
    std::string name(1, letter);
    name += std::to_string(number);
    return name;
}

// Two names in B for one file, as a deduplicating tool leaves them: a copy onto the first replaces that
// name alone, so the second keeps its content and still matches A, whichever of the two the search meets
// first.
TEST_F(CoreTest, ACopyOntoAHardLinkedFileReplacesThatNameAlone) {
    MakeDirs("A");
    MakeDirs("B");
    // Pairs in B under two names each: x<i> differs from A's, y<i> matches A's; enough pairs that the search
    // meets x before y in some of them and after it in others.
    constexpr int kPairs = 24;
    for (int i = 0; i < 200; ++i) {
        const std::string name = Numbered('f', i);
        WriteFile(At("A/" + name), "same");
        WriteFile(At("B/" + name), "same");
        CopyWriteTime(At("A/" + name), At("B/" + name));
    }
    for (int i = 0; i < kPairs; ++i) {
        const std::string x = Numbered('x', i), y = Numbered('y', i);
        WriteFile(At("A/" + x), "new content");
        WriteFile(At("A/" + y), "old");
        WriteFile(At("B/" + y), "old");
        CopyWriteTime(At("A/" + y), At("B/" + y));
        std::error_code ec;
        stdfs::create_hard_link(PathFromUtf8(At("B/" + y)), PathFromUtf8(At("B/" + x)), ec);
        if (ec) {
            GTEST_SKIP() << "no hard links here: " << ec.message();
        }
    }
    SyncFolder(At("A"), At("B"));
    Lines copies, expected;
    for (const std::string& line : LogLines()) {
        if (line.rfind(kCopy, 0) == 0) {
            copies.push_back(line);
        }
    }
    for (int i = 0; i < kPairs; ++i) {
        const std::string x = Numbered('x', i), y = Numbered('y', i);
        expected.push_back(kCopy + At("B/" + x));
        EXPECT_EQ(ReadFile(At("B/" + x)), "new content") << x;
        EXPECT_EQ(ReadFile(At("B/" + y)), "old") << y;
    }
    std::sort(copies.begin(), copies.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(copies, expected);
}

} // namespace
} // namespace pardova
