#include "platform/core/Session.h"

#ifdef _WIN32
#include "win32/Session.inc"
#else
#include "posix/Session.inc"
#endif
