#include "platform/core/LogFolder.h"

#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"

#include <string>

namespace pardova::platform {

namespace {

// The refusal of an open, as the file streams raise it: the full path, the platform's code and text.
[[noreturn]] void RaiseLogOpenError(const std::string& path, uint32_t error) {
    std::string full = NativeFs().GetFullPath(path);
    if (full.empty()) {
        full = path;
    }
    std::string reason = SysErrorMessage(error);
    std::string message = "Cannot open file \"" + full + "\". " + reason;
    throw EFOpenError(std::move(message), std::move(full), error, std::move(reason));
}

} // namespace

OverridePoint<LogFolderOpener> TheLogFolderOpener{&OpenNativeLogFolder};

std::unique_ptr<LogFolder> OpenLogFolder(const std::string& folder) { return TheLogFolderOpener.Get()(folder); }

} // namespace pardova::platform

#ifdef _WIN32
#include "win32/LogFolder.inc"
#else
#include "posix/LogFolder.inc"
#endif
