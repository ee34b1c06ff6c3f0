// The shared file routines: existence tests over every answer the platform may give, folder creation and
// the run log routine.

#include "app/core/FileRoutines.h"

#include "app/core/TestCoreSupport.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/TestForwardingFs.h"

#include <map>

namespace pardova {
namespace {

using namespace pardova::testing;
using namespace pardova::platform;

// Answers attribute reads, opens and searches as told; everything else goes to the native file system.
class ScriptedFs : public ForwardingFs {
public:
    struct Answer {
        std::optional<uint32_t> Attributes; // nullopt: the read fails with Error
        uint32_t Error = 0;
        bool Opens = true; // for CanOpenForReading
        uint32_t OpenError = 0;
        std::optional<uint32_t> SearchFinds; // attributes of the entry a search on the path finds
    };
    Answer answer;
    int searches = 0;

    std::unique_ptr<DirectorySearch> FindFirst(const std::string&) override {
        ++searches;
        if (!answer.SearchFinds) {
            return nullptr;
        }
        struct One : DirectorySearch {
            uint32_t attributes;
            bool given = false;
            bool Next(DirEntry& entry) override {
                if (given) {
                    return false;
                }
                given = true;
                entry = {"x", attributes};
                return true;
            }
        };
        auto search = std::make_unique<One>();
        search->attributes = *answer.SearchFinds;
        return search;
    }
    std::optional<uint32_t> GetAttributes(const std::string&, uint32_t* error) override {
        if (!answer.Attributes) {
            *error = answer.Error;
        }
        return answer.Attributes;
    }
    bool CanOpenForReading(const std::string&, bool, uint32_t* error) override {
        if (!answer.Opens) {
            *error = answer.OpenError;
        }
        return answer.Opens;
    }
};

// The read fails with the error; a search on the path finds an entry with the given bits, or nothing.
ScriptedFs::Answer Fails(uint32_t error, std::optional<uint32_t> searchFinds = std::nullopt) {
    ScriptedFs::Answer answer;
    answer.Error = error;
    answer.SearchFinds = searchFinds;
    return answer;
}

// The read gives the bits; opening the path succeeds, or fails with openError when that is not 0.
ScriptedFs::Answer Reads(uint32_t attributes, uint32_t openError = 0) {
    ScriptedFs::Answer answer;
    answer.Attributes = attributes;
    answer.Opens = openError == 0;
    answer.OpenError = openError;
    return answer;
}

class ScriptedFsTest : public ::testing::Test {
protected:
    void SetUp() override { use.emplace(FsOverride(), &fs); }
    void TearDown() override { use.reset(); }
    ScriptedFs fs;
    std::optional<ScopedOverride<FileSystem*>> use;
};

constexpr uint32_t kDir = kAttrDirectory;
constexpr uint32_t kLink = kAttrReparsePoint;

TEST_F(ScriptedFsTest, FolderExistsOverEveryPlatformAnswer) {
    struct Case {
        const char* What;
        ScriptedFs::Answer Answer;
        bool Expected;
    };
    const Case cases[] = {
        {"file not found", Fails(kErrFileNotFound), false},
        {"path not found", Fails(kErrPathNotFound), false},
        {"bad network path", Fails(kErrBadNetPath), false},
        {"invalid name", Fails(kErrInvalidName), false},
        {"access denied: may be there", Fails(kErrAccessDenied), true},
        {"device not ready: may be there", Fails(kErrNotReady), true},
        {"an unmapped error", Fails(kErrOther), true},
        {"a folder", Reads(kDir), true},
        {"a hidden system folder", Reads(kDir | kAttrHidden | kAttrSystem), true},
        {"a file", Reads(0), false},
        {"a link to a folder that opens", Reads(kDir | kLink), true},
        {"a link to a folder that does not open", Reads(kDir | kLink, kErrFileNotFound), false},
        {"a link without the folder bit", Reads(kLink), false},
    };
    for (const Case& c : cases) {
        fs.answer = c.Answer;
        EXPECT_EQ(FolderExists("any"), c.Expected) << c.What;
    }
}

TEST_F(ScriptedFsTest, PlainFileExistsOverEveryPlatformAnswer) {
    struct Case {
        const char* What;
        ScriptedFs::Answer Answer;
        bool Expected;
    };
    const Case cases[] = {
        {"file not found", Fails(kErrFileNotFound, 0u), false},
        {"path not found", Fails(kErrPathNotFound, 0u), false},
        {"invalid name", Fails(kErrInvalidName, 0u), false},
        {"unreadable, listed as a file", Fails(kErrAccessDenied, 0u), true},
        {"unreadable, listed as a folder", Fails(kErrAccessDenied, kDir), false},
        {"unreadable, not listed", Fails(kErrSharingViolation), false},
        {"a file", Reads(0), true},
        {"a read-only hidden file", Reads(kAttrReadOnly | kAttrHidden), true},
        {"a folder", Reads(kDir), false},
        {"a link to a folder", Reads(kDir | kLink), false},
        {"a link to a file that opens", Reads(kLink), true},
        {"a link to a file held unshared", Reads(kLink, kErrSharingViolation), true},
        {"a link to a file that is gone", Reads(kLink, kErrFileNotFound), false},
        {"a link to a file that is refused", Reads(kLink, kErrAccessDenied), false},
    };
    for (const Case& c : cases) {
        fs.answer = c.Answer;
        EXPECT_EQ(PlainFileExists("any"), c.Expected) << c.What;
    }
}

TEST_F(ScriptedFsTest, OnlyAnUnexplainedFailureMakesPlainFileExistsSearch) {
    fs.answer = Fails(kErrFileNotFound, 0u);
    PlainFileExists("any");
    EXPECT_EQ(fs.searches, 0);
    fs.answer = Fails(kErrAccessDenied, 0u);
    PlainFileExists("any");
    EXPECT_EQ(fs.searches, 1);
}

class FileRoutinesTest : public CoreTest {};

TEST_F(FileRoutinesTest, ExistenceOnRealFiles) {
    MakeDirs("dir");
    WriteFile(At("file"), "x");
    EXPECT_TRUE(FolderExists(At("dir")));
    EXPECT_TRUE(FolderExists(IncludeSlash(At("dir"))));
    EXPECT_FALSE(FolderExists(At("file")));
    EXPECT_FALSE(FolderExists(At("missing")));
    EXPECT_FALSE(FolderExists(""));
    EXPECT_TRUE(PlainFileExists(At("file")));
    EXPECT_FALSE(PlainFileExists(At("dir")));
    EXPECT_FALSE(PlainFileExists(At("missing")));
    EXPECT_FALSE(PlainFileExists(At("file/below")));
    EXPECT_FALSE(PlainFileExists(""));
}

TEST_F(FileRoutinesTest, LinksCountOnlyWhenTheirTargetOpens) {
    MakeDirs("dir");
    WriteFile(At("file"), "x");
    std::error_code ec;
    stdfs::create_directory_symlink(PathFromUtf8(At("dir")), PathFromUtf8(At("dirlink")), ec);
    if (ec) {
        GTEST_SKIP() << "this platform does not let the test make links: " << ec.message();
    }
    stdfs::create_symlink(PathFromUtf8(At("file")), PathFromUtf8(At("filelink")));
    stdfs::create_symlink(PathFromUtf8(At("gone")), PathFromUtf8(At("dangling")));
    EXPECT_TRUE(FolderExists(At("dirlink")));
    EXPECT_FALSE(PlainFileExists(At("dirlink")));
    EXPECT_TRUE(PlainFileExists(At("filelink")));
    EXPECT_FALSE(FolderExists(At("filelink")));
    EXPECT_FALSE(PlainFileExists(At("dangling")));
    EXPECT_FALSE(FolderExists(At("dangling")));
}

TEST_F(FileRoutinesTest, MakeFolderPathCreatesEveryMissingParent) {
    EXPECT_TRUE(MakeFolderPath(At("a/b/c")));
    EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(At("a/b/c"))));
    EXPECT_TRUE(MakeFolderPath(IncludeSlash(At("x/y")))); // one final separator is dropped
    EXPECT_TRUE(stdfs::is_directory(PathFromUtf8(At("x/y"))));
    EXPECT_TRUE(MakeFolderPath(At("a/b/c")));
    EXPECT_TRUE(MakeFolderPath(Root()));
}

TEST_F(FileRoutinesTest, MakeFolderPathReportsFailureWithoutRaising) {
    WriteFile(At("file"), "x");
    EXPECT_FALSE(MakeFolderPath(At("file/sub/deeper")));
    EXPECT_EQ(ReadFile(At("file")), "x");
}

TEST_F(FileRoutinesTest, MakeFolderPathRaisesForAnEmptyPathAndForALoneRelativeName) {
    try {
        MakeFolderPath("");
        FAIL() << "no exception";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Message(), "Unable to create directory");
        EXPECT_EQ(e.ErrorCode, 3);
    }
    // A bare relative name has no folder part to create it under.
    EXPECT_THROW(MakeFolderPath("out"), EInOutError);
}

TEST_F(FileRoutinesTest, ExpandPathResolvesAgainstTheCurrentFolder) {
    const std::string saved = Fs().GetCurrentDir();
    ASSERT_TRUE(Fs().SetCurrentDir(Root()));
    const std::string here = IncludeSlash(Fs().GetCurrentDir());
    EXPECT_EQ(ExpandPath("rel"), here + "rel");
    EXPECT_EQ(ExpandPath(""), "");
    ASSERT_TRUE(Fs().SetCurrentDir(saved));
}

TEST_F(FileRoutinesTest, GetAppDirIsTheFolderOfThisProgram) {
    const std::string dir = GetAppDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), PathDelimiter());
    EXPECT_TRUE(FolderExists(dir));
    bool found = false;
    for (const auto& entry : stdfs::directory_iterator(PathFromUtf8(dir))) {
        found = found || Utf8FromPath(entry.path().filename()).rfind("test_app_core", 0) == 0;
    }
    EXPECT_TRUE(found) << dir;
}

TEST_F(FileRoutinesTest, AddToLogWritesTheTextAloneUnlessAValueIsGiven) {
    AddToLog("start Pardova, 1.0 - -");
    AddToLog("Папка не найдена, создаю ");
    AddToLog("count", 42);
    AddToLog("neg", -7);
    AddToLog("max", 2147483647);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"start Pardova, 1.0 - -", "Папка не найдена, создаю ", "count : 42",
                                                    "neg : -7", "max"}));
}

TEST_F(FileRoutinesTest, AddToLogLetsTheLogsErrorsThrough) {
    FreeSimpleLog(); // "log" is no longer registered
    EXPECT_THROW(AddToLog("x"), Exception);
}

} // namespace
} // namespace pardova
