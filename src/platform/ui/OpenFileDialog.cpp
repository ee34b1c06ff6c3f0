#include "platform/ui/OpenFileDialog.h"

#include <QStringList>

#include <utility>

namespace pardova::platform {

namespace {
SystemFileDialogHook& CurrentHook() {
    static SystemFileDialogHook hook;
    return hook;
}
} // namespace

SystemFileDialogHook SetSystemFileDialogHook(SystemFileDialogHook hook) {
    return std::exchange(CurrentHook(), std::move(hook));
}

} // namespace pardova::platform

#ifdef _WIN32
#include "win32/OpenFileDialog.inc"
#else
#include "posix/OpenFileDialog.inc"
#endif
