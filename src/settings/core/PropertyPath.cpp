#include "settings/core/PropertyPath.h"

#include "platform/core/Locale.h"

#include <charconv>

namespace pardova {

namespace {

bool IsPropertyToken(std::string_view segment) {
    return segment.size() == 3 && segment[0] == '<' && (segment[1] == 'P' || segment[1] == 'p') && segment[2] == '>';
}

// What follows the first segment and its "."; empty when the path has a single segment.
std::string_view RestOfPath(std::string_view path) {
    const size_t dot = path.find('.');
    return dot == std::string_view::npos ? std::string_view() : path.substr(dot + 1);
}

} // namespace

std::string_view FirstPathSegment(std::string_view Path) {
    return Path.substr(0, Path.find('.'));
}

int ComparePropertyPaths(std::string_view A, std::string_view B) {
    for (;;) {
        if (A.empty() && B.empty()) {
            return 0;
        }
        const std::string_view a = FirstPathSegment(A);
        const std::string_view b = FirstPathSegment(B);
        const bool aToken = IsPropertyToken(a);
        const bool bToken = IsPropertyToken(b);
        if (aToken != bToken) {
            return aToken ? -1 : 1;
        }
        if (!aToken) {
            const bool aSelector = a.starts_with('<');
            const bool bSelector = b.starts_with('<');
            if (aSelector != bSelector) {
                return aSelector ? 1 : -1;
            }
            if (const int c = platform::CompareTextLocale(a, b); c != 0) {
                return c;
            }
        }
        A = RestOfPath(A);
        B = RestOfPath(B);
    }
}

bool ParseItemIndex(std::string_view Text, int& Value) {
    if (Text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return ec == std::errc() && end == Text.data() + Text.size() && Value >= 0;
}

} // namespace pardova
