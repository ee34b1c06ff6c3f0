#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <string>

namespace pardova::platform {

namespace {

// The file layer's two refusals, with the file's full path and the platform's reason.
[[noreturn]] void RaiseCreateError(const std::string& fullPath, const std::string& reason) {
    throw EFCreateError("Cannot create file \"" + fullPath + "\". " + reason);
}

[[noreturn]] void RaiseOpenError(const std::string& fullPath, const std::string& reason) {
    throw EFOpenError("Cannot open file \"" + fullPath + "\". " + reason);
}

} // namespace

} // namespace pardova::platform

#ifdef _WIN32
#include "win32/FileStream.inc"
#else
#include "posix/FileStream.inc"
#endif
