#include "platform/core/Handles.h"

#include "platform/core/FileSystem.h"

#ifdef _WIN32
#include "win32/Handles.inc"
#else
#include "posix/Handles.inc"
#endif
