#pragma once
// What every POSIX part of the platform layer shares: an owned file descriptor, closed on every path, the
// one place where a call interrupted by a signal is tried again, and the one table between errno and the
// Windows-numbered error codes.

#include "platform/core/FileSystem.h"
#include "platform/core/ScopeGuard.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>

namespace pardova::platform {

// Calls `call` until it does not fail with EINTR, and gives its last result: for calls that report a
// failure as -1 with errno, e.g. RetryOnEintr([&] { return ::read(fd, data, count); }).
template <typename Call> auto RetryOnEintr(Call call) -> decltype(call()) {
    for (;;) {
        const auto result = call();
        if (!(result == -1 && errno == EINTR)) {
            return result;
        }
    }
}

struct FdTraits {
    using Value = int;
    static int Invalid() { return -1; }
    static bool IsValid(int fd) { return fd >= 0; }
    // Not retried on EINTR: on Linux the descriptor is gone either way.
    static bool Close(int fd) { return ::close(fd) == 0; }
};

// A file descriptor that one owner closes.
using UniqueFd = UniqueResource<FdTraits>;

// The error code of an errno value. The errno values whose meaning the rules above this layer test get
// the Windows code of that meaning; every other one keeps a code of its own (kErrErrnoBase | e) that
// ErrnoFromErrorCode turns back into it, so no reason is ever lost to a catch-all code.
inline uint32_t ErrorCodeFromErrno(int e) {
    switch (e) {
    case 0:
        return 0;
    case ENOENT:
        return kErrFileNotFound;
    case ENOTDIR:
        return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
        return kErrAccessDenied;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK:
        return kErrSharingViolation;
    case EEXIST:
        return kErrAlreadyExists;
    case ENOSPC:
        return kErrDiskFull;
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
        return kErrInvalidName;
    case EFBIG:
        return kErrFileTooLarge;
    case EIO:
        return kErrIoDevice;
    case EROFS:
        return kErrWriteProtect;
    case EDQUOT:
        return kErrDiskQuota;
    case EXDEV:
        return kErrNotSameDevice;
    default:
        return e > 0 ? kErrErrnoBase | static_cast<uint32_t>(e) : kErrErrnoBase;
    }
}

// The errno that an error code stands for when its text is asked for; -1 for a code no call gives here.
inline int ErrnoFromErrorCode(uint32_t code) {
    if ((code & kErrErrnoBase) != 0) {
        return static_cast<int>(code & ~kErrErrnoBase);
    }
    switch (code) {
    case 0:
        return 0;
    case kErrFileNotFound:
        return ENOENT;
    case kErrPathNotFound:
        return ENOTDIR;
    case kErrAccessDenied:
        return EACCES;
    case kErrNotReady:
        return ENOMEDIUM;
    case kErrSharingViolation:
    case kErrLockViolation:
        return EWOULDBLOCK;
    case kErrBadNetPath:
        return EHOSTUNREACH;
    case kErrFileExists:
    case kErrAlreadyExists:
        return EEXIST;
    case kErrDiskFull:
        return ENOSPC;
    case kErrInvalidName:
        return EINVAL;
    case kErrFileTooLarge:
        return EFBIG;
    case kErrIoDevice:
        return EIO;
    case kErrWriteProtect:
        return EROFS;
    case kErrDiskQuota:
        return EDQUOT;
    case kErrNotSameDevice:
        return EXDEV;
    default:
        return -1;
    }
}

// The platform's text for an error code. A file held by another writer (a lock that is taken) reads as
// what it is, not as the "try again" that errno says for it.
inline std::string ErrorCodeText(uint32_t code) {
    if (code == kErrSharingViolation || code == kErrLockViolation) {
        return "The file is being used by another process.";
    }
    const int e = ErrnoFromErrorCode(code);
    if (e < 0) {
        return "Unknown error " + std::to_string(code);
    }
    return std::strerror(e);
}

} // namespace pardova::platform
