#pragma once
// UTF-8 <-> UTF-16 conversion. Exact for all text without unpaired surrogates; an unpaired surrogate is
// encoded as its three-byte form (WTF-8) so that nothing is lost, and invalid UTF-8 decodes to U+FFFD.
// Every reading of UTF-8 in the program goes through the one decoder here.

#include <string>
#include <string_view>

namespace pardova::platform {

// The length of the sequence a lead byte announces, by its value alone: 1 below 0xC0 (ASCII, and a stray
// continuation byte standing for itself), 2 up to 0xDF, 3 up to 0xEF, 4 from 0xF0 on.
size_t Utf8LengthFromLead(unsigned char lead);

// How much of a sequence DecodeUtf8 checks.
enum class Utf8Check {
    Form,   // a lead byte (0x00-0x7F, 0xC0-0xF7) and the continuation bytes it announces, all present
    Wtf8,   // also the shortest form and nothing above U+10FFFF; a surrogate passes, as WTF-8 holds one
    Strict, // also no surrogates: well-formed UTF-8
};

struct Utf8Char {
    char32_t CodePoint = 0;
    size_t Length = 0; // in bytes; 0 when no sequence that passes the check starts there
};

// The character whose sequence starts at byte i of the text (i < text.size()).
Utf8Char DecodeUtf8(std::string_view text, size_t i, Utf8Check check);

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Whether every byte of the text is below 0x80.
bool IsAscii(std::string_view text);

// Number of UTF-16 code units the UTF-8 text takes.
size_t Utf16Length(std::string_view text);

} // namespace pardova::platform
