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
// Both, as the two calls above give them, for a caller that asks for them on every line it writes: the
// texts stay where they are until the calling thread's next call, and copying them is left to the caller.
struct DateTimeSeparators {
    const std::string& Date;
    const std::string& Time;
};
DateTimeSeparators CurrentDateTimeSeparators();

// The separator of a strftime-style date or time format: the one character (spaces around it aside)
// that stands between every two neighbouring fields, as "." in "%d.%m.%Y". Empty when the fields are set
// apart by different texts ("%Y年%m月%d日"), by spaces alone, or when there are fewer than two fields.
std::string SingleSeparatorOf(std::string_view format);
// The separators for a locale with these strftime-style formats and this language ("ja" of
// "ja_JP.UTF-8"): the format's single separator; when it has none, what the language's users see on
// Windows ("/" for Japanese and Chinese dates, "-" for Korean ones), else "/"; ":" for every time.
std::string DateSeparatorFor(std::string_view dateFormat, std::string_view language);
std::string TimeSeparatorFor(std::string_view timeFormat, std::string_view language);

// Whether two names are the same regardless of letter case, as the settings compare section, entry,
// component, class and property names: ASCII names by their ASCII letters alone, any other by the
// platform's lower case (LowerCase).
bool SameText(std::string_view a, std::string_view b);

// Case-insensitive comparison by the user's locale: negative, zero or positive.
int CompareTextLocale(std::string_view a, std::string_view b);

// The system's ANSI code page (UTF-8 on POSIX): single-byte text <-> UTF-8.
std::string AnsiToUtf8(std::string_view bytes);
std::string Utf8ToAnsi(std::string_view text);

} // namespace pardova::platform
