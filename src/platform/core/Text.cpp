#include "platform/core/Text.h"

#include <algorithm>

namespace pardova::platform {

size_t Utf8LengthFromLead(unsigned char lead) { return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1; }

Utf8Char DecodeUtf8(std::string_view text, size_t i, Utf8Check check) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return {lead, 1};
    }
    if (lead < 0xC0 || lead >= 0xF8) {
        return {}; // a continuation byte, or no lead of any length
    }
    const size_t length = Utf8LengthFromLead(lead);
    if (text.size() - i < length) {
        return {};
    }
    char32_t cp = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return {};
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (check != Utf8Check::Form) {
        constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kShortest[length] || cp > 0x10FFFF) {
            return {};
        }
        if (check == Utf8Check::Strict && cp >= 0xD800 && cp <= 0xDFFF) {
            return {};
        }
    }
    return {cp, length};
}

namespace {

// Decodes one code point starting at text[i]; advances i. Invalid sequences yield U+FFFD and consume one
// byte. Three-byte encodings of surrogates are accepted so that WTF-8 round-trips.
char32_t DecodeOne(std::string_view text, size_t& i) {
    const Utf8Char c = DecodeUtf8(text, i, Utf8Check::Wtf8);
    if (c.Length == 0) {
        ++i;
        return 0xFFFD;
    }
    i += c.Length;
    return c.CodePoint;
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        AppendUtf16(out, DecodeOne(text, i));
    }
    return out;
}

char32_t DecodeUtf16(std::u16string_view text, size_t& i) {
    const char32_t unit = text[i++];
    if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
        return 0x10000 + ((unit - 0xD800) << 10) + (text[i++] - 0xDC00);
    }
    return unit;
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint >= 0x10000) {
        const char32_t v = codePoint - 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(codePoint));
    }
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3 / 2);
    for (size_t i = 0; i < text.size();) {
        const char32_t cp = DecodeUtf16(text, i);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

size_t Utf16Length(std::string_view text) {
    size_t n = 0;
    for (size_t i = 0; i < text.size();) {
        n += DecodeOne(text, i) >= 0x10000 ? 2 : 1;
    }
    return n;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        lines.push_back(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size()) {
            pos += (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
        }
    }
    return lines;
}

void AppendHexByte(std::string& out, uint8_t byte, HexDigits letters) {
    static constexpr char kDigits[2][17] = {"0123456789ABCDEF", "0123456789abcdef"};
    const char* digits = kDigits[letters == HexDigits::Lower ? 1 : 0];
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

uint64_t Fnv1a64(std::string_view bytes, uint64_t basis) {
    uint64_t hash = basis;
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return hash;
}

} // namespace pardova::platform
