#include "platform/core/PrivateProfile.h"

#include "platform/core/Text.h"

#ifdef _WIN32
#include "win32/PrivateProfile.inc"
#else
#include "posix/PrivateProfile.inc"
#endif
