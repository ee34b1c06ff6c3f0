#include "platform/Path.h"

namespace pardova::platform {

namespace {

bool IsFolderBreak(char c, PathStyle style) {
    return style == PathStyle::Windows ? (c == '\\' || c == ':') : c == '/';
}

size_t NameStart(std::string_view path, PathStyle style) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsFolderBreak(path[i - 1], style)) {
            return i;
        }
    }
    return 0;
}

} // namespace

char PathDelimiter(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

std::string IncludeSlash(std::string_view path, PathStyle style) {
    std::string result(path);
    if (!path.empty()) {
        const char last = path.back();
        const bool ends = last == '/' || (style == PathStyle::Windows && last == '\\');
        if (!ends) {
            result.push_back(PathDelimiter(style));
        }
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

std::string ExtensionPart(std::string_view path, PathStyle style) {
    const size_t start = NameStart(path, style);
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start) {
        return {};
    }
    return std::string(path.substr(dot));
}

} // namespace pardova::platform
