#include "platform/core/Locale.h"

#include "platform/core/Text.h"

#include <algorithm>
#include <cstdint>

#include <optional>

namespace pardova::platform {

namespace {

// The one character of a run of literal text between two fields, spaces around it aside; none when the
// run holds anything else.
std::optional<std::string> RunCharacter(std::string_view run) {
    while (!run.empty() && run.front() == ' ') {
        run.remove_prefix(1);
    }
    while (!run.empty() && run.back() == ' ') {
        run.remove_suffix(1);
    }
    // A whole character in form: a lead byte and all the continuation bytes it announces.
    const size_t n = run.empty() ? 0 : DecodeUtf8(run, 0, Utf8Check::Form).Length;
    if (n == 0 || n != run.size()) {
        return std::nullopt;
    }
    return std::string(run);
}

} // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
    }
    return LowerCase(a) == LowerCase(b);
}

std::string SingleSeparatorOf(std::string_view format) {
    std::optional<std::string> separator;
    std::string run;
    bool afterField = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            run += format[i];
            continue;
        }
        ++i;
        while (i < format.size() && std::string_view("EO-_0^#").find(format[i]) != std::string_view::npos) {
            ++i;
        }
        if (i >= format.size()) {
            break;
        }
        if (format[i] == '%') {
            run += '%';
            continue;
        }
        if (afterField) {
            const std::optional<std::string> character = RunCharacter(run);
            if (!character || (separator && *separator != *character)) {
                return {};
            }
            separator = character;
        }
        afterField = true;
        run.clear();
    }
    return separator.value_or(std::string());
}

std::string DateSeparatorFor(std::string_view dateFormat, std::string_view language) {
    std::string separator = SingleSeparatorOf(dateFormat);
    if (!separator.empty()) {
        return separator;
    }
    return std::string(language == "ko" ? "-" : "/");
}

std::string TimeSeparatorFor(std::string_view timeFormat, std::string_view) {
    std::string separator = SingleSeparatorOf(timeFormat);
    return separator.empty() ? ":" : separator;
}

} // namespace pardova::platform

#ifdef _WIN32
#include "win32/Locale.inc"
#else
#include "posix/Locale.inc"
#endif
