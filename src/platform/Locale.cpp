#include "platform/Locale.h"

#include "platform/Text.h"

#include <cstdint>

#ifdef _WIN32
#include "win32/Locale.inc"
#else
#include "posix/Locale.inc"
#endif
