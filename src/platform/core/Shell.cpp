// Opening a file through the shell. The owner window is kept here for every platform; the platform part
// (posix/ or win32/ Shell.inc) does the opening.

#include "platform/core/Process.h"

#include <atomic>

namespace pardova::platform {
namespace {
std::atomic<void*> gShellOwner{nullptr};
} // namespace

void SetShellOwnerWindow(void* window) { gShellOwner.store(window); }
void* ShellOwnerWindow() { return gShellOwner.load(); }

} // namespace pardova::platform

#ifdef _WIN32
#include "win32/Shell.inc"
#else
#include "posix/Shell.inc"
#endif
