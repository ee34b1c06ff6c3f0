#include "platform/core/Process.h"

#include "platform/core/Text.h"

#ifdef _WIN32
#include "win32/Process.inc"
#else
#include "posix/Process.inc"
#endif
