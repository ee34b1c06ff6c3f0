#pragma once
// What every POSIX part of the platform layer shares: an owned file descriptor, closed on every path, and
// the one place where a call interrupted by a signal is tried again.

#include "platform/core/ScopeGuard.h"

#include <cerrno>
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

} // namespace pardova::platform
