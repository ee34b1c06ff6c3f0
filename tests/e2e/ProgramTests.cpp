// The built program, started in a folder of its own as a scheduled task or a user would start it.

#include "e2e/ProgramFolder.h"

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
        fs::create_directories(Dir / "A" / "sub" / "empty");
        WriteFile(Dir / "A" / "f.txt", "payload");
        WriteFile(Dir / "A" / "sub" / "g.txt", "more");
    }

    // The event texts of the program's log.txt, in order.
    std::vector<std::string> LogTexts() const {
        const std::string text = ReadFile(Dir / "app" / "log.txt");
        std::vector<std::string> events;
        size_t begin = 0;
        while (begin < text.size()) {
            size_t end = text.find("\r\n", begin);
            if (end == std::string::npos) {
                ADD_FAILURE() << "a line without CR LF";
                end = text.size();
            }
            const std::string line = text.substr(begin, end - begin);
            const size_t framing = line.find(" | Info | ");
            EXPECT_NE(framing, std::string::npos) << line;
            events.push_back(framing == std::string::npos ? line : line.substr(framing + 10));
            begin = end + 2;
        }
        return events;
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
