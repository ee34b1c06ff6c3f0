// The built program, started in a folder of its own as a scheduled task or a user would start it.

#include "e2e/TestProgramFolder.h"

#include <gmock/gmock.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace pardova::e2e;
using ::testing::ElementsAre;

const std::string kStartLine = "start Pardova, 1.0 - - - - - - - - - - - - - - - - - - - - -";

class Program : public ProgramFolder {
protected:
    Program() : ProgramFolder("pardova-e2e", "60") {}

    void SetUp() override {
        ProgramFolder::SetUp();
        MakeSmallA();
    }
};

TEST_F(Program, WithoutTheSwitchInFirstPlaceItStaysOpenUntilClosed) {
    const std::vector<std::vector<std::string>> cases = {{}, {"x", "/s"}, {"/sx"}, {"s"}};
    for (const auto& arguments : cases) {
        fs::remove(Dir / "app" / "log.txt");
        // A silent run here would fail on the empty fields and wait on its failure box until the guard.
        EXPECT_EQ(Run(arguments, true), 0) << ::testing::PrintToString(arguments);
        EXPECT_THAT(LogTexts(), ElementsAre(kStartLine, "finish")) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(fs::exists(Dir / "B"));
    }
}

TEST_F(Program, TheSwitchInAnyCaseRunsOnePassWithTheSavedFieldsAndExitsWithZero) {
    for (const char* silent : {"/s", "/S"}) {
        const fs::path B = Dir / (std::string("B") + (silent[1] == 's' ? "lower" : "upper"));
        SaveFields((Dir / "A").string(), B.string());
        fs::remove(Dir / "app" / "log.txt");
        // No one closes the window: the process must end by itself.
        ASSERT_EQ(Run({silent}, false), 0) << silent;
        EXPECT_EQ(ReadFile(B / "f.txt"), "payload");
        EXPECT_EQ(ReadFile(B / "sub" / "g.txt"), "more");
        EXPECT_TRUE(fs::is_directory(B / "sub" / "empty"));
        const auto texts = LogTexts();
        ASSERT_GE(texts.size(), 4u);
        EXPECT_EQ(texts.front(), kStartLine);
        EXPECT_EQ(texts[1], "Папка не найдена, создаю " + B.string());
        EXPECT_NE(std::find(texts.begin(), texts.end(), "  копирую -> " + (B / "f.txt").string()), texts.end());
        EXPECT_EQ(texts.back(), "finish");
        // The silent exit saves the fields again, unchanged.
        EXPECT_EQ(ReadFile(Dir / "app" / "settings.ini"), SettingsWithFields((Dir / "A").string(), B.string()));
    }
}

#ifdef __linux__
// A silent pass from a program folder that takes no new file (made immutable here, which root may do where
// the file system keeps such flags) still saves settings.ini, in place, and ends with 0 instead of waiting
// on a box for ever.
TEST_F(Program, ASilentPassFromAFolderThatTakesNoNewFileStillSavesAndEnds) {
    const fs::path B = Dir / "B";
    const fs::path settings = Dir / "app" / "settings.ini";
    SaveFields((Dir / "A").string(), B.string());
    ASSERT_EQ(Run({"/s"}, false), 0); // log.txt is there from now on
    // The save drops a comment line: the file shows whether the next save wrote it.
    WriteFile(settings, "; a comment\r\n" + SettingsWithFields((Dir / "A").string(), B.string()));
    const int folder = ::open((Dir / "app").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    int flags = 0;
    bool immutableMade = ::ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0;
    int immutable = flags | FS_IMMUTABLE_FL;
    immutableMade = immutableMade && ::ioctl(folder, FS_IOC_SETFLAGS, &immutable) == 0;
    if (!immutableMade) {
        ::close(folder);
        GTEST_SKIP() << "the folder cannot be made immutable here (needs root and a file system with flags)";
    }
    const int code = Run({"/s"}, false);
    ::ioctl(folder, FS_IOC_SETFLAGS, &flags);
    ::close(folder);
    EXPECT_EQ(code, 0) << "a silent pass that saved nothing waits on its box until the guard";
    EXPECT_EQ(ReadFile(settings), SettingsWithFields((Dir / "A").string(), B.string()));
    EXPECT_EQ(LogTexts().back(), "finish");
}
#endif

// A silent pass that ran to its end with a copy that failed exits with code 2, the failure's reason in the
// log right after its copy line; once nothing fails it exits with 0 again.
TEST_F(Program, ASilentPassWithAFailedCopyEndsWithCodeTwo) {
    const fs::path B = Dir / "B";
    fs::create_directories(B / "f.txt"); // a folder where A has a file: that copy cannot happen
    SaveFields((Dir / "A").string(), B.string());
    ASSERT_EQ(Run({"/s"}, false), 2);
    const auto texts = LogTexts();
    const auto copy = std::find(texts.begin(), texts.end(), "  копирую -> " + (B / "f.txt").string());
    ASSERT_NE(copy, texts.end());
    ASSERT_NE(copy + 1, texts.end());
    EXPECT_EQ((copy + 1)->rfind("  ошибка: ", 0), 0u) << *(copy + 1);
    EXPECT_GT((copy + 1)->size(), std::string("  ошибка: ").size());
    EXPECT_EQ(ReadFile(B / "sub" / "g.txt"), "more");
    EXPECT_EQ(texts.back(), "finish");

    fs::remove(B / "f.txt");
    ASSERT_EQ(Run({"/s"}, false), 0);
    EXPECT_EQ(ReadFile(B / "f.txt"), "payload");
}

} // namespace
