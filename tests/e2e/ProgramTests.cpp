// The built program, started in a folder of its own as a scheduled task or a user would start it.

#include "e2e/TestProgramFolder.h"

#include <gmock/gmock.h>

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

} // namespace
