// The path tests that the fields and the folder picker share: IsExistingFolder and IsValidFileName.
#include "controls/core/PathTests.h"
#include "platform/core/FileSystem.h"
#include "platform/core/TestFakeFs.h"
#include "platform/core/TestFsSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pardova {
namespace {

using namespace pardova::platform;
using testing::ScopedFakeFs;

struct ErrorCase {
    uint32_t Error;
    bool Expected;
};

class IsExistingFolderOnError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(IsExistingFolderOnError, AFailedAttributeReadCountsAsAFolderOnlyForUnlistedErrors) {
    ScopedFakeFs fake;
    fake.Fs.Fail("X:\\data", GetParam().Error);
    EXPECT_EQ(IsExistingFolder("X:\\data"), GetParam().Expected) << "error " << GetParam().Error;
}

INSTANTIATE_TEST_SUITE_P(Codes, IsExistingFolderOnError,
                         ::testing::Values(ErrorCase{kErrFileNotFound, false}, ErrorCase{kErrPathNotFound, false},
                                           ErrorCase{kErrNotReady, false}, ErrorCase{kErrBadNetPath, false},
                                           ErrorCase{kErrInvalidName, false}, ErrorCase{kErrAccessDenied, true},
                                           ErrorCase{kErrSharingViolation, true}, ErrorCase{kErrOther, true}));

TEST(IsExistingFolderFaked, AnEmptyPathIsNoFolderEvenWhenTheCurrentFolderExists) {
    ScopedFakeFs fake;
    fake.Fs.Add("", kAttrDirectory);
    EXPECT_FALSE(IsExistingFolder(""));
}

TEST(IsExistingFolderFaked, APlainEntryIsAFolderExactlyWhenItsFolderBitIsSet) {
    ScopedFakeFs fake;
    fake.Fs.Add("dir", kAttrDirectory | kAttrHidden);
    fake.Fs.Add("file", kAttrReadOnly);
    EXPECT_TRUE(IsExistingFolder("dir"));
    EXPECT_FALSE(IsExistingFolder("file"));
}

TEST(IsExistingFolderFaked, ALinkCountsOnlyWhenItsTargetOpens) {
    ScopedFakeFs fake;
    fake.Fs.Add("live", kAttrDirectory | kAttrReparsePoint);
    fake.Fs.Add("dead", kAttrDirectory | kAttrReparsePoint);
    fake.Fs.Unreachable("dead");
    fake.Fs.Add("tofile", kAttrReparsePoint);
    // A plain folder is not opened at all, so an unopenable one still counts.
    fake.Fs.Add("plain", kAttrDirectory);
    fake.Fs.Unreachable("plain");
    EXPECT_TRUE(IsExistingFolder("live"));
    EXPECT_FALSE(IsExistingFolder("dead"));
    EXPECT_FALSE(IsExistingFolder("tofile"));
    EXPECT_TRUE(IsExistingFolder("plain"));
}

// The same rules on the real file system.
using IsExistingFolderOnDisk = testing::TempFolderTest;

TEST_F(IsExistingFolderOnDisk, TellsFoldersFromFilesAndMissingEntries) {
    MakeDirs("sub/inner");
    testing::WriteFile(At("file.txt"), "x");
    EXPECT_TRUE(IsExistingFolder(Root()));
    EXPECT_TRUE(IsExistingFolder(At("sub")));
    EXPECT_TRUE(IsExistingFolder(At("sub/inner/")));
    EXPECT_FALSE(IsExistingFolder(At("file.txt")));
    EXPECT_FALSE(IsExistingFolder(At("missing")));
    EXPECT_FALSE(IsExistingFolder(At("missing/deeper")));
    EXPECT_FALSE(IsExistingFolder(At("file.txt/below")));
}

TEST_F(IsExistingFolderOnDisk, FollowsLinksToFoldersAndRefusesDanglingOnes) {
    MakeDirs("target");
    std::error_code error;
    testing::stdfs::create_directory_symlink(testing::PathFromUtf8(At("target")), testing::PathFromUtf8(At("live")),
                                             error);
    if (error) {
        GTEST_SKIP() << "links cannot be made here: " << error.message();
    }
    testing::stdfs::create_directory_symlink(testing::PathFromUtf8(At("gone")), testing::PathFromUtf8(At("dead")),
                                             error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_TRUE(IsExistingFolder(At("live")));
    EXPECT_FALSE(IsExistingFolder(At("dead")));
}

struct NameCase {
    const char* Name;
    PathStyle Style;
    bool Expected;
};

class IsValidFileNameCases : public ::testing::TestWithParam<NameCase> {};

TEST_P(IsValidFileNameCases, RefusesEmptyNamesAndForbiddenCharacters) {
    EXPECT_EQ(IsValidFileName(GetParam().Name, GetParam().Style), GetParam().Expected) << '"' << GetParam().Name << '"';
}

constexpr PathStyle W = PathStyle::Windows;
constexpr PathStyle X = PathStyle::Posix;

INSTANTIATE_TEST_SUITE_P(Names, IsValidFileNameCases,
                         ::testing::Values(NameCase{"", W, false}, NameCase{"", X, false}, NameCase{"app.exe", W, true},
                                           NameCase{"C:\\Tools\\app.exe", W, true}, NameCase{"C:", W, true},
                                           NameCase{"C:/Tools/app.exe", W, false}, NameCase{"a<b", W, false},
                                           NameCase{"a>b", W, false}, NameCase{"a\"b", W, false},
                                           NameCase{"a|b", W, false}, NameCase{"*.exe", W, false},
                                           NameCase{"app?.exe", W, false}, NameCase{"/usr/bin/tool", X, true},
                                           NameCase{"back\\slash:colon", X, true}, NameCase{"/usr/bin/t?ol", X, false},
                                           NameCase{"/usr/bin/<tool>", X, false}, NameCase{"Папка A/файл.exe", X, true},
                                           NameCase{"Папка A\\файл.exe", W, true}));

TEST(IsValidFileName, RefusesAnEmbeddedNul) {
    EXPECT_FALSE(IsValidFileName(std::string("a\0b", 3), PathStyle::Windows));
    EXPECT_FALSE(IsValidFileName(std::string("a\0b", 3), PathStyle::Posix));
}

} // namespace
} // namespace pardova
