// The program's command line, split by the Windows rules on every platform.

#include "platform/core/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pardova {
namespace {

TEST(CommandLine, SplitByTheWindowsRules) {
    const struct {
        const char* Line;
        std::vector<std::string> Arguments;
    } cases[] = {
        {"pardova.exe /s", {"pardova.exe", "/s"}},
        {"  pardova.exe\t/S  ", {"pardova.exe", "/S"}},
        {"\"C:\\Program Files\\pardova.exe\" \"/s\"", {"C:\\Program Files\\pardova.exe", "/s"}},
        {"p a\"b c\"d", {"p", "ab cd"}},
        {"p \"\" /s", {"p", "", "/s"}},
        {"p \"unterminated  quote", {"p", "unterminated  quote"}},
        {"p\x01/s\x1f"
         "x",
         {"p", "/s", "x"}},
        {"p папка\\файл", {"p", "папка\\файл"}},
        {"", {}},
        {" \t ", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::SplitCommandLine(c.Line), c.Arguments) << c.Line;
    }
}

} // namespace
} // namespace pardova
