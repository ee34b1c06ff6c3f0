#pragma once
// The user's session as an unattended run meets it: whether anybody can see what the process shows, and
// where a failure goes when nobody can.

#include <string>

namespace pardova::platform {

// Whether a person can see the windows and message boxes of this process. POSIX: an X11 or Wayland
// display that the environment names answers; Windows: the process's window station is visible (it is
// not for a scheduled task that runs whether or not a user is logged on, nor for a service).
bool UserCanSeeWindows();

#ifndef _WIN32
// The display a POSIX process would use, as its environment names it.
struct DisplayEnvironment {
    std::string Display;        // DISPLAY: "[host]:number[.screen]"
    std::string WaylandDisplay; // WAYLAND_DISPLAY: a socket name in RuntimeDir, or an absolute path
    std::string RuntimeDir;     // XDG_RUNTIME_DIR
};
DisplayEnvironment ProcessDisplayEnvironment();
// Whether one of the displays named answers a connection: the X server's local socket (abstract or in
// /tmp/.X11-unix) or its TCP port, or the Wayland compositor's socket. A connection that does not answer
// within two seconds counts as none.
bool DisplayReachable(const DisplayEnvironment& environment);
#else
// Whether the window station (an HWINSTA) is visible to a user. One whose flags cannot be read counts as
// visible, which keeps the message box that waits for a user.
bool IsVisibleWindowStation(void* station);
#endif

// Puts the text of a failure that no user can be shown where unattended runs are read: standard error as
// "caption: text" and a line end (POSIX and Windows, where the process has one), and on Windows also the
// system's Application event log, as an error of the source named by the caption.
void ReportUnattendedFailure(const std::string& caption, const std::string& text);

} // namespace pardova::platform
