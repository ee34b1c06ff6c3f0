#pragma once
// Path text routines. They take an explicit path style so that the Windows rules ("\" and ":" separate,
// drive roots) are checked on every platform; the default is the style of the platform we run on.

#include <string>
#include <string_view>

namespace pardova::platform {

enum class PathStyle { Windows, Posix };

#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// The separator appended to folder paths: "\" on Windows, "/" on POSIX.
char PathDelimiter(PathStyle style = kNativePathStyle);

// Whether the character separates folders in a path: "\" or "/" on Windows, "/" on POSIX.
bool IsPathDelimiter(char c, PathStyle style = kNativePathStyle);

// Windows: the path unchanged when empty or ending in "\" or "/", else with "\" appended.
// POSIX: the path unchanged when empty or ending in "/", else with "/" appended.
std::string IncludeSlash(std::string_view path, PathStyle style = kNativePathStyle);

// Windows: up to and including the last "\" or ":" ("/" does not count); empty when there is neither.
// POSIX: up to and including the last "/".
std::string FolderPart(std::string_view path, PathStyle style = kNativePathStyle);

// What follows FolderPart: the last component.
std::string NamePart(std::string_view path, PathStyle style = kNativePathStyle);

// Windows: empty stays empty; a final "\" stays; a final "/" becomes "\"; a one-character path (a drive
// letter) gets ":\"; any other gets "\". POSIX: "/" appended unless the path is empty or ends in "/".
std::string WithTrailingBackslash(std::string_view path, PathStyle style = kNativePathStyle);

// The path without its final separators ("\" or "/" on Windows, "/" on POSIX), except the one of a
// root: "/" on POSIX, "C:\" and "\" on Windows.
std::string WithoutTrailingSeparators(std::string_view path, PathStyle style = kNativePathStyle);

// Whether two paths' texts name the same path under the style's rules: exactly on POSIX; on Windows
// regardless of letter case (ASCII, Latin-1 and Cyrillic letters are folded), as its file systems compare
// names. Separators are compared as they are.
bool SamePathText(std::string_view a, std::string_view b, PathStyle style = kNativePathStyle);

// The extension of the last component, from its last "." ("" when there is none).
std::string ExtensionPart(std::string_view path, PathStyle style = kNativePathStyle);

// A path as a log line shows it. Windows: unchanged (its names hold no control characters, and the text is
// UTF-8 made from UTF-16). POSIX, where a name is any bytes: every control character (0x00 to 0x1F and
// 0x7F) and every byte that is not part of valid UTF-8 is written as "\x" and two upper-case hexadecimal
// digits, and a backslash that is followed by "x" as "\x5C", so that a name can neither start a line of
// its own nor make the log invalid UTF-8, and every "\x" in a logged path is an escape. Any other path,
// valid UTF-8 without control characters, stays byte for byte.
std::string PathForLog(std::string_view path, PathStyle style = kNativePathStyle);

} // namespace pardova::platform
