// Opening a file through the shell. The owner window is kept here for every platform; the platform part
// (posix/ or win32/ Shell.inc) does the opening.

#include "platform/core/Shell.h"

namespace pardova::platform {

std::atomic<void*> ShellOwnerWindow{nullptr};

} // namespace pardova::platform

#ifdef _WIN32
#include "win32/Shell.inc"
#else
#include "posix/Shell.inc"
#endif
