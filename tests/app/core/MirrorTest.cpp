// The folder mirror on real trees: what B holds afterwards, and the exact lines of the run log.

#include "app/core/Mirror.h"

#include "app/core/TestMirrorSupport.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"

namespace pardova {
namespace {

using namespace pardova::testing;
using namespace pardova::platform;

class MirrorTest : public MirrorFixture {
protected:
    void SetUp() override {
        MirrorFixture::SetUp();
        MakeDirs("A");
        MakeDirs("B");
    }
};

TEST_F(MirrorTest, FirstPassCopiesEveryFileAndFolderDepthFirst) {
    MakeDirs("A/d1");
    MakeDirs("A/d2/empty");
    WriteFile(InA("d1/f1"), "one");
    WriteFile(InA("d2/f2"), "two");
    SyncFolder(A, B);

    EXPECT_EQ(ReadFile(InB("d1/f1")), "one");
    EXPECT_EQ(ReadFile(InB("d2/f2")), "two");
    EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(InB("d2/empty"))));
    EXPECT_TRUE(SameWriteTime(InA("d1/f1"), InB("d1/f1")));

    // Each folder's line comes before its content, and its whole sub-tree before its next sibling; the
    // siblings themselves come in the platform's order.
    const Lines d1 = {InA("d1"), InA("d1/f1"), kCopy + InB("d1/f1")};
    Lines d2Both = {InA("d2"), InA("d2/empty"), InA("d2/f2"), kCopy + InB("d2/f2")};
    Lines d2Swapped = {InA("d2"), InA("d2/f2"), kCopy + InB("d2/f2"), InA("d2/empty")};
    std::vector<Lines> accepted;
    for (const Lines& d2 : {d2Both, d2Swapped}) {
        Lines first = d1;
        first.insert(first.end(), d2.begin(), d2.end());
        Lines second = d2;
        second.insert(second.end(), d1.begin(), d1.end());
        accepted.push_back(first);
        accepted.push_back(second);
    }
    const Lines lines = LogLines();
    EXPECT_NE(std::find(accepted.begin(), accepted.end(), lines), accepted.end()) << ::testing::PrintToString(lines);
}

TEST_F(MirrorTest, SecondPassCopiesNothingAndLogsOnlyTheEntries) {
    MakeDirs("A/d");
    WriteFile(InA("d/f"), "content");
    SyncFolder(A, B);
    ClearLog();
    // A folder's own time plays no part. (Windows runtimes may refuse to set a folder's time; the pass
    // is then checked with the time as it is.)
    std::error_code ec;
    stdfs::last_write_time(PathFromUtf8(InB("d")),
                           stdfs::last_write_time(PathFromUtf8(InB("d"))) - std::chrono::seconds(100), ec);
    SyncFolder(A, B);
    EXPECT_EQ(LogLines(), (Lines{InA("d"), InA("d/f")}));
}

TEST_F(MirrorTest, AnyDifferenceInTimeOrSizeCopiesAndEqualTimeAndSizeDoNot) {
    struct Case {
        const char* Name;
        std::string Dest;     // what B holds before the pass
        int ShiftDestSeconds; // B's time against A's
        bool Copied;
    };
    const Case cases[] = {
        {"older", "same", -60, true},
        {"newer", "same", +60, true}, // a newer file in B is replaced all the same
        {"shorter", "sam", 0, true},
        {"longer", "same!", 0, true},
        {"differentContent", "SAME", 0, false}, // contents are never compared
        {"equal", "same", 0, false},
    };
    for (const Case& c : cases) {
        WriteFile(InA(c.Name), "same");
        WriteFile(InB(c.Name), c.Dest);
        CopyWriteTime(InA(c.Name), InB(c.Name), std::chrono::seconds(c.ShiftDestSeconds));
    }
    SyncFolder(A, B);
    const Lines lines = LogLines();
    for (const Case& c : cases) {
        const bool logged = std::find(lines.begin(), lines.end(), kCopy + InB(c.Name)) != lines.end();
        EXPECT_EQ(logged, c.Copied) << c.Name;
        EXPECT_EQ(ReadFile(InB(c.Name)), c.Copied ? "same" : c.Dest) << c.Name;
        EXPECT_TRUE(SameWriteTime(InA(c.Name), InB(c.Name))) << c.Name;
    }
}

TEST_F(MirrorTest, WhatOnlyBHoldsIsLeftAlone) {
    WriteFile(InA("a"), "a");
    WriteFile(InB("onlyB"), "keep");
    MakeDirs("B/folderOnlyB");
    WriteFile(InB("folderOnlyB/x"), "keep too");
    SyncFolder(A, B);
    EXPECT_EQ(ReadFile(InB("onlyB")), "keep");
    EXPECT_EQ(ReadFile(InB("folderOnlyB/x")), "keep too");
    EXPECT_EQ(ReadFile(InB("a")), "a");
}

TEST_F(MirrorTest, EmptyAIsSilent) {
    SyncFolder(A, B);
    EXPECT_TRUE(LogLines().empty());
    EXPECT_TRUE(stdfs::is_empty(PathFromUtf8(B)));
}

TEST_F(MirrorTest, AMissingIsSilentToo) {
    SyncFolder(At("missing"), B);
    EXPECT_TRUE(LogLines().empty());
}

TEST_F(MirrorTest, SameFolderAsBothSidesCopiesNothing) {
    WriteFile(InA("f"), "x");
    MakeDirs("A/d");
    WriteFile(InA("d/g"), "y");
    SyncFolder(A, A);
    const Lines lines = LogLines();
    EXPECT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) {
        EXPECT_NE(line.rfind(kCopy, 0), 0u) << line;
    }
    EXPECT_EQ(ReadFile(InA("f")), "x");
}

TEST_F(MirrorTest, HiddenEntriesAreMirroredLikeAnyOther) {
    MakeDirs("A/.hiddenDir");
    WriteFile(InA(".hiddenDir/.hiddenFile"), "h");
    SyncFolder(A, B);
    EXPECT_EQ(ReadFile(InB(".hiddenDir/.hiddenFile")), "h");
}

#ifndef _WIN32
// A name is any bytes on POSIX: its control characters and the bytes that are not UTF-8 reach the log as
// escapes, so a name can neither forge a line nor make log.txt invalid UTF-8, while the copy itself goes by
// the real name.
TEST_F(MirrorTest, NamesThatWouldBreakALogLineAreLoggedEscaped) {
    const std::string forged = "x\r\n01/01/2024 00:00:00:000 | Info | finish";
    MakeDirs("A/" + forged);
    WriteFile(InA(forged + "/f\xFF\x01"), "data");
    SyncFolder(A, B);
    EXPECT_EQ(ReadFile(InB(forged + "/f\xFF\x01")), "data");
    // The name is a chain of three folders, each logged as it is entered.
    const std::string escaped = "x\\x0D\\x0A01";
    const std::string deepest = escaped + "/01/2024 00:00:00:000 | Info | finish";
    EXPECT_EQ(LogLines(), (Lines{InA(escaped), InA(escaped + "/01"), InA(deepest), InA(deepest + "/f\\xFF\\x01"),
                                 kCopy + InB(deepest + "/f\\xFF\\x01")}));
    const std::string text = ReadFile(At("log.txt"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 5);
}
#endif

TEST_F(MirrorTest, FinalSeparatorsMakeNoDifference) {
    WriteFile(InA("f"), "x");
    std::vector<std::string> forms = {"", "/"};
    if (kNativePathStyle == PathStyle::Windows) {
        forms.push_back("\\");
    }
    for (const std::string& form : forms) {
        ClearLog();
        stdfs::remove_all(PathFromUtf8(B));
        MakeDirs("B");
        SyncFolder(A + form, B + form);
        const std::string source = form.empty() ? IncludeSlash(A) : A + form;
        const std::string dest = form.empty() ? IncludeSlash(B) : B + form;
        EXPECT_EQ(LogLines(), (Lines{source + "f", kCopy + dest + "f"})) << "form \"" << form << "\"";
        EXPECT_EQ(ReadFile(InB("f")), "x") << "form \"" << form << "\"";
    }
}

TEST_F(MirrorTest, AFileThatCannotBeReplacedStaysAndIsLoggedOnEveryPass) {
    WriteFile(InA("f"), "new");
    WriteFile(InB("f"), "old");
    ShiftWriteTime(InB("f"), std::chrono::seconds(-60));
    MakeReadOnly(InB("f"));
    for (int pass = 0; pass < 2; ++pass) {
        ClearLog();
        SyncFolder(A, B);
        EXPECT_EQ(LogLines(), (Lines{InA("f"), kCopy + InB("f"), FailureLine(platform::kErrAccessDenied)}))
            << "pass " << pass;
        EXPECT_EQ(ReadFile(InB("f")), "old") << "pass " << pass;
    }
    MakeWritable(InB("f"));
}

TEST_F(MirrorTest, AFileMeetingAFolderInBAndAFolderMeetingAFileInB) {
    WriteFile(InA("clash"), "file in A");
    MakeDirs("B/clash");
    WriteFile(InB("clash/inside"), "kept");
    MakeDirs("A/dirA");
    WriteFile(InA("dirA/g"), "g");
    WriteFile(InB("dirA"), "file in B");
    SyncFolder(A, B);
    EXPECT_EQ(ReadFile(InB("clash/inside")), "kept");
    EXPECT_EQ(ReadFile(InB("dirA")), "file in B");
    const Lines lines = LogLines();
    for (const std::string& expected : {kCopy + InB("clash"), InA("dirA/g"), kCopy + InB("dirA/g")}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
    }
}

TEST_F(MirrorTest, BInsideAIsPassedOverEntirely) {
    WriteFile(InA("f"), "x");
    const std::string inner = InA("backup");
    MakeDirs("A/backup");
    WriteFile(InA("backup/old"), "o");
    std::vector<std::string> forms = {inner, IncludeSlash(inner)};
    if (kNativePathStyle == PathStyle::Windows) {
        forms.push_back(InA("BACKUP")); // the same folder on Windows
    }
    for (const std::string& dest : forms) {
        ClearLog();
        stdfs::remove(PathFromUtf8(InA("backup/f")));
        SyncFolder(A, dest);
        EXPECT_EQ(LogLines(), (Lines{InA("f"), kCopy + IncludeSlash(dest) + "f"})) << dest;
        EXPECT_FALSE(Exists(InA("backup/backup")));
    }
}

TEST_F(MirrorTest, ALinkedFolderIsWalkedButALinkBackOntoTheWalkIsNotEntered) {
    MakeDirs("elsewhere");
    WriteFile(At("elsewhere/e"), "e");
    MakeDirs("A/sub");
    std::error_code ec;
    stdfs::create_directory_symlink(PathFromUtf8(At("elsewhere")), PathFromUtf8(InA("out")), ec);
    if (ec) {
        GTEST_SKIP() << "this platform does not let the test make links: " << ec.message();
    }
    stdfs::create_directory_symlink(PathFromUtf8(A), PathFromUtf8(InA("sub/up")));
    SyncFolder(A, B);
    EXPECT_EQ(ReadFile(InB("out/e")), "e");
    EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(InB("sub/up"))));
    EXPECT_TRUE(stdfs::is_empty(PathFromUtf8(InB("sub/up"))));
    const Lines lines = LogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), InA("sub/up")), lines.end());
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find(InA("sub/up/")), std::string::npos) << line;
    }
}

TEST_F(MirrorTest, ALinkToBInsideAIsNotEntered) {
    WriteFile(InA("f"), "x");
    std::error_code ec;
    stdfs::create_directory_symlink(PathFromUtf8(B), PathFromUtf8(InA("toB")), ec);
    if (ec) {
        GTEST_SKIP() << "this platform does not let the test make links: " << ec.message();
    }
    SyncFolder(A, B);
    SyncFolder(A, B);
    EXPECT_FALSE(Exists(InB("toB/toB")));
    EXPECT_FALSE(Exists(InB("toB/f")));
}

TEST_F(MirrorTest, TheLogsErrorsEndTheWalk) {
    WriteFile(InA("f"), "x");
    FreeSimpleLog();
    EXPECT_THROW(SyncFolder(A, B), Exception);
    EXPECT_FALSE(Exists(InB("f")));
}

TEST_F(MirrorTest, ComparisonRoutines) {
    // Not "a" and "b": on Windows those are the folders A and B.
    WriteFile(At("one"), "12345");
    WriteFile(At("two"), "x");
    CopyWriteTime(At("one"), At("two"));
    EXPECT_TRUE(SameWriteTime(At("one"), At("two")));
    ShiftWriteTime(At("two"), std::chrono::seconds(1));
    EXPECT_FALSE(SameWriteTime(At("one"), At("two")));
    EXPECT_FALSE(SameWriteTime(At("one"), At("missing")));
    EXPECT_FALSE(SameWriteTime(At("missing"), At("one")));
    EXPECT_FALSE(SameWriteTime(At("missing"), At("missing")));
    EXPECT_EQ(GetFileSize64(At("one")), 5);
    EXPECT_EQ(GetFileSize64(At("missing")), -1);
}

TEST(QuickCheckTest, OnlyTheExactTimeAndTheFullSizeDecide) {
    FileAttributeData source;
    source.WriteTime = {1700000000, 123456789};
    source.LastWriteTime = 133444736001234567;
    source.Size = 4096;
    source.Attributes = kAttrHidden;
    source.Mode = 0644;
    source.Identity = {1, 2};
    struct Case {
        const char* What;
        void (*Change)(FileAttributeData&);
        bool Current;
    };
    const Case cases[] = {
        {"the same time and size", [](FileAttributeData&) {}, true},
        {"other attributes, permissions and identity",
         [](FileAttributeData& c) {
             c.Attributes = kAttrReadOnly;
             c.Mode = 0600;
             c.Identity = {3, 4};
         },
         true},
        // Still the same count of 100 ns (LastWriteTime): the platform's own time decides.
        {"a nanosecond later", [](FileAttributeData& c) { ++c.WriteTime.Fraction; }, false},
        {"a nanosecond earlier", [](FileAttributeData& c) { --c.WriteTime.Fraction; }, false},
        {"a second apart, same fraction", [](FileAttributeData& c) { ++c.WriteTime.Seconds; }, false},
        {"one byte longer", [](FileAttributeData& c) { ++c.Size; }, false},
        {"4 GiB longer (equal low halves)", [](FileAttributeData& c) { c.Size += uint64_t{1} << 32; }, false},
        {"empty", [](FileAttributeData& c) { c.Size = 0; }, false},
    };
    for (const Case& c : cases) {
        FileAttributeData copy = source;
        c.Change(copy);
        EXPECT_EQ(CopyIsCurrent(source, copy), c.Current) << c.What;
        EXPECT_EQ(CopyIsCurrent(copy, source), c.Current) << c.What << ", either way round";
    }
}

TEST_F(MirrorTest, SizesBeyond32BitsAreFull) {
    const uintmax_t size = (uintmax_t{5} << 30) + 3;
    WriteFile(At("big"), "");
    std::error_code ec;
    stdfs::resize_file(PathFromUtf8(At("big")), size, ec);
    if (ec) {
        GTEST_SKIP() << "no room for a sparse 5 GiB file: " << ec.message();
    }
    EXPECT_EQ(GetFileSize64(At("big")), static_cast<int64_t>(size));
}

} // namespace
} // namespace pardova
