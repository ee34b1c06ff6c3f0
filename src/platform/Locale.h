#pragma once
// The platform's language and regional services.

#include <string>
#include <string_view>

namespace pardova::platform {

// Lower-cases text by the platform's rules (CharLowerBuffW on Windows; full Unicode simple lower-casing
// elsewhere).
std::string LowerCase(std::string_view text);

// The user's date and time separators, read at each call.
std::string DateSeparator();
std::string TimeSeparator();

// Case-insensitive comparison by the user's locale: negative, zero or positive.
int CompareTextLocale(std::string_view a, std::string_view b);

// The system's ANSI code page (UTF-8 on POSIX): single-byte text <-> UTF-8.
std::string AnsiToUtf8(std::string_view bytes);
std::string Utf8ToAnsi(std::string_view text);

} // namespace pardova::platform
