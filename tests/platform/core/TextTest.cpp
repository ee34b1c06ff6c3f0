// The one UTF-8 decoder and what is built on it: each check level takes exactly the sequences its callers
// rely on (the form alone, WTF-8 with its surrogates, or well-formed UTF-8).

#include "platform/core/Text.h"

#include <gtest/gtest.h>

namespace pardova::platform {
namespace {

TEST(TextTest, DecodeUtf8TakesWhatEachCheckAllows) {
    constexpr size_t kNone = 0;
    const struct {
        const char* Bytes;
        char32_t CodePoint;        // where every check that takes the sequence decodes it
        size_t Form, Wtf8, Strict; // the length each check gives
    } cases[] = {
        {"A", U'A', 1, 1, 1},
        {"\xC3\xA1", U'á', 2, 2, 2},
        {"\xD0\x81", U'Ё', 2, 2, 2},
        {"\xE2\x82\xAC", U'€', 3, 3, 3},
        {"\xF0\x9F\x98\x80", U'\U0001F600', 4, 4, 4},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4, 4, 4},
        {"\xED\xA0\x80", 0xD800, 3, 3, kNone},           // a surrogate: WTF-8 carries it, UTF-8 does not
        {"\xC1\x81", 0x41, 2, kNone, kNone},             // an overlong "A"
        {"\xE0\x80\x80", 0, 3, kNone, kNone},            // an overlong NUL
        {"\xF0\x8F\xBF\xBF", 0xFFFF, 4, kNone, kNone},   // an overlong U+FFFF
        {"\xF4\x90\x80\x80", 0x110000, 4, kNone, kNone}, // beyond Unicode
        {"\xC3"
         "A",
         0, kNone, kNone, kNone},                         // a continuation byte missing
        {"\xE2\x82", 0, kNone, kNone, kNone},             // cut short at the end
        {"\xA1", 0, kNone, kNone, kNone},                 // a stray continuation byte
        {"\xF8\x88\x80\x80\x80", 0, kNone, kNone, kNone}, // no lead of any length
    };
    for (const auto& c : cases) {
        const std::string_view text(c.Bytes);
        const std::pair<Utf8Check, size_t> checks[] = {
            {Utf8Check::Form, c.Form}, {Utf8Check::Wtf8, c.Wtf8}, {Utf8Check::Strict, c.Strict}};
        for (const auto& [check, length] : checks) {
            const Utf8Char decoded = DecodeUtf8(text, 0, check);
            EXPECT_EQ(decoded.Length, length) << c.Bytes << " check " << static_cast<int>(check);
            if (length != kNone) {
                EXPECT_EQ(decoded.CodePoint, c.CodePoint) << c.Bytes << " check " << static_cast<int>(check);
            }
        }
    }
    // Decoding starts at the byte asked for.
    EXPECT_EQ(DecodeUtf8("x\xC3\xA1", 1, Utf8Check::Strict).CodePoint, U'á');
}

TEST(TextTest, TheLeadByteAloneAnnouncesALength) {
    const std::pair<unsigned char, size_t> cases[] = {{0x00, 1}, {0x7F, 1}, {0x80, 1}, {0xBF, 1}, {0xC0, 2},
                                                      {0xDF, 2}, {0xE0, 3}, {0xEF, 3}, {0xF0, 4}, {0xFF, 4}};
    for (const auto& [lead, length] : cases) {
        EXPECT_EQ(Utf8LengthFromLead(lead), length) << static_cast<int>(lead);
    }
}

TEST(TextTest, Utf16ConversionKeepsSurrogatesAndReplacesInvalidBytes) {
    EXPECT_EQ(Utf8ToUtf16("a\xD0\x81\xF0\x9F\x98\x80"), (std::u16string{u'a', u'Ё', 0xD83D, 0xDE00}));
    // An unpaired surrogate goes both ways unchanged (WTF-8).
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), std::u16string(1, char16_t{0xD800}));
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800})), "\xED\xA0\x80");
    // An invalid byte is one U+FFFD, and what follows it is read again from the next byte.
    EXPECT_EQ(Utf8ToUtf16("\xC1\x81"
                          "b"),
              (std::u16string{0xFFFD, 0xFFFD, u'b'}));
    EXPECT_EQ(Utf8ToUtf16("\xC3"
                          "A"),
              (std::u16string{0xFFFD, u'A'}));
    EXPECT_EQ(Utf16Length("a\xD0\x81\xF0\x9F\x98\x80\xFF"), 5u);
}

TEST(TextTest, IsAsciiLooksAtEveryByte) {
    EXPECT_TRUE(IsAscii(""));
    EXPECT_TRUE(IsAscii("Form1.<P>.Left\x7F"));
    EXPECT_FALSE(IsAscii("Форма"));
    EXPECT_FALSE(IsAscii(std::string("abc") + '\x80'));
}

} // namespace
} // namespace pardova::platform
