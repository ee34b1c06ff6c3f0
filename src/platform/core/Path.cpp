#include "platform/core/Path.h"

#include "platform/core/Text.h"

namespace pardova::platform {

namespace {

bool IsFolderBreak(char c, PathStyle style) { return style == PathStyle::Windows ? (c == '\\' || c == ':') : c == '/'; }

size_t NameStart(std::string_view path, PathStyle style) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsFolderBreak(path[i - 1], style)) {
            return i;
        }
    }
    return 0;
}

char32_t FoldCase(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    return c;
}

// The code point at text[i], advancing i past it. Invalid sequences give their bytes one by one, each as a
// value beyond Unicode that no letter folds to, so that they compare equal only to themselves.
char32_t NextCodePoint(std::string_view text, size_t& i) {
    const Utf8Char c = DecodeUtf8(text, i, Utf8Check::Wtf8);
    if (c.Length == 0) {
        return 0x110000 + static_cast<unsigned char>(text[i++]);
    }
    i += c.Length;
    return c.CodePoint;
}

} // namespace

char PathDelimiter(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

bool IsPathDelimiter(char c, PathStyle style) { return c == '/' || (style == PathStyle::Windows && c == '\\'); }

std::string IncludeSlash(std::string_view path, PathStyle style) {
    std::string result(path);
    if (!path.empty() && !IsPathDelimiter(path.back(), style)) {
        result.push_back(PathDelimiter(style));
    }
    return result;
}

std::string FolderPart(std::string_view path, PathStyle style) {
    return std::string(path.substr(0, NameStart(path, style)));
}

std::string NamePart(std::string_view path, PathStyle style) {
    return std::string(path.substr(NameStart(path, style)));
}

std::string WithTrailingBackslash(std::string_view path, PathStyle style) {
    std::string result(path);
    if (path.empty()) {
        return result;
    }
    if (style == PathStyle::Posix) {
        if (path.back() != '/') {
            result.push_back('/');
        }
        return result;
    }
    if (path.back() == '\\') {
        return result;
    }
    if (path.back() == '/') {
        result.back() = '\\';
    } else if (path.size() == 1) {
        result += ":\\"; // a bare drive letter
    } else {
        result.push_back('\\');
    }
    return result;
}

std::string WithoutTrailingSeparators(std::string_view path, PathStyle style) {
    size_t keep = 1; // a lone separator is a root
    if (style == PathStyle::Windows && path.size() >= 3 && path[1] == ':') {
        keep = 3; // "C:\"
    }
    while (path.size() > keep && IsPathDelimiter(path.back(), style)) {
        path.remove_suffix(1);
    }
    return std::string(path);
}

bool SamePathText(std::string_view a, std::string_view b, PathStyle style) {
    if (style == PathStyle::Posix) {
        return a == b;
    }
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) {
            return false;
        }
    }
    return i == a.size() && j == b.size();
}

std::string ExtensionPart(std::string_view path, PathStyle style) {
    const size_t start = NameStart(path, style);
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start) {
        return {};
    }
    return std::string(path.substr(dot));
}

namespace {

// The length of the valid UTF-8 sequence that starts at text[at] with a byte of 0x80 or above (shortest
// form, no surrogates, at most U+10FFFF); 0 when none starts there.
size_t Utf8SequenceAt(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u; };
    const auto continuation = [](unsigned b) { return b >= 0x80 && b <= 0xBF; };
    const unsigned lead = byte(0);
    unsigned low = 0x80, high = 0xBF; // the range the second byte must fall in
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (!continuation(byte(i))) {
            return 0;
        }
    }
    return length;
}

void AppendEscape(std::string& out, unsigned char c) {
    out += "\\x";
    AppendHexByte(out, c);
}

} // namespace

std::string PathForLog(std::string_view path, PathStyle style) {
    if (style == PathStyle::Windows) {
        return std::string(path);
    }
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c >= 0x80) {
            const size_t length = Utf8SequenceAt(path, i);
            if (length == 0) {
                AppendEscape(out, c);
                ++i;
            } else {
                out.append(path.substr(i, length));
                i += length;
            }
            continue;
        }
        if (c < 0x20 || c == 0x7F || (c == '\\' && i + 1 < path.size() && path[i + 1] == 'x')) {
            AppendEscape(out, c);
        } else {
            out += static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

} // namespace pardova::platform
