#pragma once
// The texts the application object shows that follow from plain strings alone: the program's title and the
// failure box's text. The window layer shows them; the rules themselves need no Qt.

#include <string>
#include <string_view>

namespace pardova::platform {

// The title for an executable file name (no folder): cut at the first ".", and every character after the
// first one lower-cased by the platform's rules. "PARDOVA.EXE" gives "Pardova".
std::string ApplicationTitleFromFileName(std::string_view fileName);

// The text of the failure box for an exception's message: a "." is appended when the message is not empty
// and its last character's code is above that of ".".
std::string ErrorBoxText(const std::string& message);

} // namespace pardova::platform
