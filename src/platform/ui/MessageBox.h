#pragma once
// The platform's message box: on Windows the system's own (MessageBoxW), elsewhere the window framework's.

#include <QString>

namespace pardova::platform {

// Shows the modal message box with the error icon and one OK button, owned by the active window, and
// returns once it has been answered.
void ShowPlatformErrorBox(const QString& caption, const QString& text);

} // namespace pardova::platform
