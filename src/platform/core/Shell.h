#pragma once
// The shell's services: opening a file as the user's desktop would, and the top of its namespace.

#include <atomic>
#include <string>

namespace pardova::platform {

// Opens a file through the shell's "open" verb with an empty parameter text in the given working folder
// (empty: the platform's choice). Does not wait; the outcome is not reported.
void ShellOpen(const std::string& file, const std::string& workingFolder);

// The window that owns what ShellOpen starts (an HWND on Windows; unused elsewhere): none at first; the
// application object points it at its main window while that window exists.
extern std::atomic<void*> ShellOwnerWindow;

// The top of the shell namespace on Windows: the desktop's name as the shell shows it and the file-system
// folder that holds its items (empty when it has none), and the computer's name. Elsewhere: empty texts.
struct ShellDesktop {
    std::string DesktopName;
    std::string DesktopPath;
    std::string ComputerName;
};
ShellDesktop GetShellDesktop();

} // namespace pardova::platform
