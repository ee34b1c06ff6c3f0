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

} // namespace pardova::platform
