#include "platform/core/StringTable.h"

#ifdef _WIN32
#include "win32/StringTable.inc"
#else
#include "posix/StringTable.inc"
#endif
