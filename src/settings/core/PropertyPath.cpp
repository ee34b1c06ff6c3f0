#include "settings/core/PropertyPath.h"

#include "platform/core/Locale.h"

#include <charconv>

namespace pardova {

bool IsPropertyToken(std::string_view Segment) {
    return Segment.size() == 3 && Segment[0] == '<' && (Segment[1] == 'P' || Segment[1] == 'p') && Segment[2] == '>';
}

std::string_view FirstPathSegment(std::string_view Path) { return Path.substr(0, Path.find('.')); }

std::string_view RestAfterFirst(std::string_view Path) {
    const size_t dot = Path.find('.');
    return dot == std::string_view::npos ? std::string_view() : Path.substr(dot + 1);
}

std::vector<std::string> SplitSegments(std::string_view Path) {
    std::vector<std::string> segments;
    size_t start = 0;
    for (;;) {
        const size_t dot = Path.find('.', start);
        segments.emplace_back(Path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos) {
            return segments;
        }
        start = dot + 1;
    }
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
        A = RestAfterFirst(A);
        B = RestAfterFirst(B);
    }
}

bool ParseItemIndex(std::string_view Text, int& Value) {
    if (Text.empty() || Text.front() < '0' || Text.front() > '9') {
        return false;
    }
    const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
    return ec == std::errc() && end == Text.data() + Text.size() && Value >= 0;
}

bool ParseItemSelector(std::string_view Segment, int& Value) {
    constexpr std::string_view kOpen = "<Item";
    return Segment.size() > kOpen.size() && Segment.starts_with(kOpen) && Segment.ends_with('>') &&
           ParseItemIndex(Segment.substr(kOpen.size(), Segment.size() - kOpen.size() - 1), Value);
}

} // namespace pardova
