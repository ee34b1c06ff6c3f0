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

// The file layer's two refusals, with the file's full path and the platform's reason.
[[noreturn]] void RaiseCreateError(const std::string& path, const std::string& reason) {
    throw EFCreateError("Cannot create file \"" + FullPathOf(path) + "\". " + reason);
}

[[noreturn]] void RaiseOpenError(const std::string& path, const std::string& reason) {
    throw EFOpenError("Cannot open file \"" + FullPathOf(path) + "\". " + reason);
}

} // namespace

} // namespace pardova::platform

#ifdef _WIN32
#include "win32/FileStream.inc"
#else
#include "posix/FileStream.inc"
#endif
