// The platform's message box: on Windows the system's own (MessageBoxW), elsewhere Qt's.
#include "platform/ui/MessageBox.h"

#include <QApplication>

#ifdef _WIN32
#include "win32/MessageBox.inc"
#else
#include "posix/MessageBox.inc"
#endif
