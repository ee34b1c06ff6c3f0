#include "platform/core/Locale.h"

#include "platform/core/Text.h"

#include <cstdint>

#include <optional>

namespace pardova::platform {

namespace {

// The length of the UTF-8 character at the start of text, or 0 when it is not a whole, valid one.
size_t Utf8CharLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto lead = static_cast<unsigned char>(text[0]);
    const size_t n = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || n > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return n;
}

// The one character of a run of literal text between two fields, spaces around it aside; none when the
// run holds anything else.
std::optional<std::string> RunCharacter(std::string_view run) {
    while (!run.empty() && run.front() == ' ') {
        run.remove_prefix(1);
    }
    while (!run.empty() && run.back() == ' ') {
        run.remove_suffix(1);
    }
    const size_t n = Utf8CharLength(run);
    if (n == 0 || n != run.size()) {
        return std::nullopt;
    }
    return std::string(run);
}

} // namespace

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
