#include "platform/PrivateProfile.h"

#include "platform/Text.h"

#ifdef _WIN32
#include "win32/PrivateProfile.inc"
#else
#include "posix/PrivateProfile.inc"
#endif
