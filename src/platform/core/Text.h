#pragma once
// The program's text rules. UTF-8 <-> UTF-16 conversion: exact for all text without unpaired surrogates;
// an unpaired surrogate is encoded as its three-byte form (WTF-8) so that nothing is lost, and invalid UTF-8
// decodes to U+FFFD. Every reading of UTF-8 in the program goes through the one decoder here, every joining
// and splitting of surrogate pairs through the one pair here. Besides: lines, hexadecimal digits, and the
// hash that names things by their bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// The code point at text[i] (i < text.size()), a surrogate pair joined into one; advances i past it. An
// unpaired surrogate stands for itself.
char32_t DecodeUtf16(std::u16string_view text, size_t& i);
// Appends a code point in UTF-16: one unit, or a surrogate pair above U+FFFF.
void AppendUtf16(std::u16string& out, char32_t codePoint);

// Whether every byte of the text is below 0x80.
bool IsAscii(std::string_view text);

// Number of UTF-16 code units the UTF-8 text takes.
size_t Utf16Length(std::string_view text);

// The lines of a text, each ended by CR LF, LF or CR (the break not included). A break at the very end
// ends the last line and starts no empty one; an empty text has no lines.
std::vector<std::string_view> SplitLines(std::string_view text);

enum class HexDigits { Upper, Lower };
// Appends a byte as two hexadecimal digits (upper-case unless asked otherwise).
void AppendHexByte(std::string& out, uint8_t byte, HexDigits letters = HexDigits::Upper);

// The 64-bit FNV-1a hash of the bytes, from the given offset basis. Where a hash names something that
// stays on the disk or is shared between processes, its basis is part of that name and never changes.
inline constexpr uint64_t kFnv1aOffsetBasis = 14695981039346656037ull;
uint64_t Fnv1a64(std::string_view bytes, uint64_t basis = kFnv1aOffsetBasis);

} // namespace pardova::platform
