#include "platform/core/FileStream.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Text.h"

#include <string>

namespace pardova::platform {

namespace {

// The full path that a refusal names; the path as given when even that cannot be formed.
std::string FullPathOf(const std::string& path) {
    std::string full = NativeFs().GetFullPath(path);
    return full.empty() ? path : full;
}

// The file layer's two refusals, with the file's full path, the platform's error code and its text.
[[noreturn]] void RaiseCreateError(const std::string& path, uint32_t error) {
    std::string full = FullPathOf(path);
    std::string reason = SysErrorMessage(error);
    std::string message = "Cannot create file \"" + full + "\". " + reason;
    throw EFCreateError(std::move(message), std::move(full), error, std::move(reason));
}

[[noreturn]] void RaiseOpenError(const std::string& path, uint32_t error) {
    std::string full = FullPathOf(path);
    std::string reason = SysErrorMessage(error);
    std::string message = "Cannot open file \"" + full + "\". " + reason;
    throw EFOpenError(std::move(message), std::move(full), error, std::move(reason));
}

} // namespace

} // namespace pardova::platform

#ifdef _WIN32
#include "win32/FileStream.inc"
#else
#include "posix/FileStream.inc"
#endif
