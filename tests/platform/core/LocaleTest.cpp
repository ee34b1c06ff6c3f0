#include "platform/core/Locale.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace pardova::platform {
namespace {

struct LowerCaseCase {
    const char* Input;
    const char* Expected;
};

void PrintTo(const LowerCaseCase& c, std::ostream* os) { *os << c.Input; }

class LowerCaseTest : public ::testing::TestWithParam<LowerCaseCase> {};

TEST_P(LowerCaseTest, LowersLettersAndKeepsEverythingElse) {
    EXPECT_EQ(LowerCase(GetParam().Input), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, LowerCaseTest,
    ::testing::Values(LowerCaseCase{"", ""}, LowerCaseCase{"/S", "/s"}, LowerCaseCase{"/s", "/s"},
                      LowerCaseCase{"AbC-09_[]@`{", "abc-09_[]@`{"},
                      // Cyrillic, Ё and the Ukrainian/Belarusian letters of the 0400 block included.
                      LowerCaseCase{"ПАПКА ЁЖИК ЇЄІЎ", "папка ёжик їєіў"},
                      LowerCaseCase{"Запустить EXE-Файл", "запустить exe-файл"}, LowerCaseCase{"ÀÉÎÕÜ ÇÑ", "àéîõü çñ"},
                      LowerCaseCase{"ĀĒĪŌŪ ŁŚŹŻ", "āēīōū łśźż"}, LowerCaseCase{"ΑΒΓΔ ΩΣ", "αβγδ ωσ"},
                      // Characters that have no lower case stay; a surrogate pair passes through whole.
                      LowerCaseCase{"×÷ 1½ \xF0\x9F\x98\x80", "×÷ 1½ \xF0\x9F\x98\x80"}));

TEST(CompareTextLocaleTest, IgnoresCaseAndOrdersText) {
    EXPECT_EQ(CompareTextLocale("LOG_20240131T090507.TXT", "log_20240131t090507.txt"), 0);
    EXPECT_EQ(CompareTextLocale("ПАПКА", "папка"), 0);
    EXPECT_EQ(CompareTextLocale("", ""), 0);
    EXPECT_LT(CompareTextLocale("", "a"), 0);
    EXPECT_LT(CompareTextLocale("log_20240131T090507.txt", "log_20240201T000000.txt"), 0);
    EXPECT_GT(CompareTextLocale("log_20240201T000000.txt", "LOG_20240131T090507.txt"), 0);
    EXPECT_LT(CompareTextLocale("a", "B"), 0);
    EXPECT_LT(CompareTextLocale("A", "b"), 0);
    EXPECT_LT(CompareTextLocale("абв", "Где"), 0);
    EXPECT_GT(CompareTextLocale("log_b", "log_A"), 0);
}

TEST(SeparatorTest, AreShortNonDigitTexts) {
    for (const std::string& sep : {DateSeparator(), TimeSeparator()}) {
        ASSERT_FALSE(sep.empty());
        EXPECT_LE(sep.size(), 4u);
        for (const char c : sep) {
            EXPECT_FALSE(c >= '0' && c <= '9') << sep;
        }
    }
}

struct SeparatorCase {
    const char* DateFormat;
    const char* TimeFormat;
    const char* Language;
    const char* Date;
    const char* Time;
};

TEST(SeparatorTest, FormatsWithoutOneSeparatorGetARealOne) {
    const SeparatorCase cases[] = {
        {"%m/%d/%y", "%H:%M:%S", "", "/", ":"}, // C
        {"%d.%m.%Y", "%T", "ru", ".", ":"},     // %T: one field, nothing between
        {"%Y-%m-%d", "%H.%M.%S", "sv", "-", "."},
        {"%m/%d/%Y", "%r", "en", "/", ":"},
        {"%Y\u5E74%m\u6708%d\u65E5", "%H\u6642%M\u5206%S\u79D2", "ja", "/", ":"},
        {"%Y\u5E74%m\u6708%d\u65E5", "%H\u65F6%M\u5206%S\u79D2", "zh", "/", ":"},
        {"%Y\uB144 %m\uC6D4 %d\uC77C", "%H\uC2DC %M\uBD84 %S\uCD08", "ko", "-", ":"},
        {"%Y. %m. %d.", "%H:%M:%S", "ko", ".", ":"},             // spaces around one separator
        {"%d\u2010%m\u2010%Y", "%H:%M:%S", "xx", "\u2010", ":"}, // one multi-byte separator
        {"%d %B %Y", "%Hh%M", "fr", "/", "h"},                   // spaces alone separate nothing
        {"%d/%m-%Y", "%H%M%S", "xx", "/", ":"},                  // two different ones, none
        {"%Ey", "%EX", "xx", "/", ":"},
        {"%d%%%m%%%Y", "%H:%M", "xx", "%", ":"},
        {"%d\xA4\xA2%m\xA4\xA2%Y", "%H:%M", "ja", "/", ":"}, // not UTF-8: no character known
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.DateFormat);
        EXPECT_EQ(DateSeparatorFor(c.DateFormat, c.Language), c.Date);
        EXPECT_EQ(TimeSeparatorFor(c.TimeFormat, c.Language), c.Time);
    }
}

#ifndef _WIN32
TEST(SeparatorTest, CLocaleGivesSlashAndColon) {
    const char* all = std::getenv("LC_ALL");
    const char* time = std::getenv("LC_TIME");
    const char* lang = std::getenv("LANG");
    const auto isC = [](const char* v) {
        return v == nullptr || *v == '\0' || std::string(v) == "C" || std::string(v) == "POSIX" ||
               std::string(v).rfind("C.", 0) == 0;
    };
    if (!(isC(all) && isC(time) && isC(lang))) {
        GTEST_SKIP() << "the environment names a regional locale";
    }
    EXPECT_EQ(DateSeparator(), "/");
    EXPECT_EQ(TimeSeparator(), ":");
}
#endif

TEST(AnsiTest, AsciiRoundTripsExactly) {
    const std::string ascii = "[MainForm]\r\n<P>.Left=120\t~!";
    EXPECT_EQ(AnsiToUtf8(ascii), ascii);
    EXPECT_EQ(Utf8ToAnsi(ascii), ascii);
    EXPECT_EQ(AnsiToUtf8(""), "");
#ifndef _WIN32
    // On POSIX the system's single-byte code page is UTF-8 itself.
    EXPECT_EQ(AnsiToUtf8("Папка"), "Папка");
    EXPECT_EQ(Utf8ToAnsi("Папка"), "Папка");
#endif
}

} // namespace
} // namespace pardova::platform
