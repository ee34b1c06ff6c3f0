// The platform's string tables behind the folder picker's texts. Where a string is missing (no such
// module, no such number, or no string tables at all, as on POSIX) the lookup gives empty text, which
// makes the picker fall back to its built-in texts.

#include "platform/core/StringTable.h"

#include <gtest/gtest.h>

namespace pardova::platform {
namespace {

TEST(LoadModuleString, MissingModuleOrStringGivesEmptyText) {
    EXPECT_EQ(LoadModuleString("no-such-module-pardova.dll", 800), "");
    EXPECT_EQ(LoadModuleString("", 800), "");
    // String numbers are 16-bit; this one lies in no table.
    EXPECT_EQ(LoadModuleString("user32.dll", 65535), "");
}

#ifndef _WIN32
TEST(LoadModuleString, PosixHasNoStringTables) {
    for (const auto& [module, id] : {std::pair{"comdlg32.dll", 439u}, {"user32.dll", 800u}, {"shell32.dll", 4151u}}) {
        EXPECT_EQ(LoadModuleString(module, id), "") << module;
    }
}
#endif

} // namespace
} // namespace pardova::platform
