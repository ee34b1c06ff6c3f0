// The application's texts that need no window: the title made from the executable's name and the failure
// box's text.

#include "platform/core/ApplicationTexts.h"

#include <gtest/gtest.h>

namespace pardova::platform {
namespace {

TEST(ApplicationTitle, CutAtTheFirstDotAndLowerCasedAfterTheFirstCharacter) {
    const struct {
        const char* FileName;
        const char* Title;
    } cases[] = {
        {"PARDOVA.EXE", "Pardova"}, {"pardova.exe", "pardova"}, {"Sync.Tool.exe", "Sync"}, {"MyTool", "Mytool"},
        {"ПАРДОВА.EXE", "Пардова"}, {"Ärger.exe", "Ärger"},     {".hidden", ""},           {"X", "X"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ApplicationTitleFromFileName(c.FileName), c.Title) << c.FileName;
    }
}

TEST(ErrorBoxTextTest, AFullStopFollowsALastCharacterAboveTheDot) {
    const struct {
        const char* Message;
        const char* Text;
    } cases[] = {
        {"", ""},
        {"Unable to create directory", "Unable to create directory."}, // an empty B
        {"Папка не найдена\r", "Папка не найдена\r"},
        {"Папка не найдена\rC:\\data\\", "Папка не найдена\rC:\\data\\."},
        {"Файл не найден\rC:\\app.exe", "Файл не найден\rC:\\app.exe."},
        {"Файл не найден\rC:\\dir (1)", "Файл не найден\rC:\\dir (1)"},
        {"x-", "x-"},
        {"x ", "x "},
        {"x.", "x."},
        {"x/", "x/."},
        {"x7", "x7."},
        {"Папка", "Папка."},
        {"emoji 😀", "emoji 😀."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ErrorBoxText(c.Message), c.Text) << c.Message;
    }
}

} // namespace
} // namespace pardova::platform
