#include "platform/ui/OpenFileDialog.h"

#ifdef _WIN32
#include "win32/OpenFileDialog.inc"
#else
#include "posix/OpenFileDialog.inc"
#endif
