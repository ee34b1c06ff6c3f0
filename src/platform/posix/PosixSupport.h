#pragma once
// What every POSIX part of the platform layer shares: an owned file descriptor, closed on every path, and
// the one place where a call interrupted by a signal is tried again.

#include <cerrno>
#include <unistd.h>

namespace pardova::platform {

// Calls `call` until it does not fail with EINTR, and gives its last result: for calls that report a
// failure as -1 with errno, e.g. RetryOnEintr([&] { return ::read(fd, data, count); }).
template <typename Call>
auto RetryOnEintr(Call call) -> decltype(call()) {
    for (;;) {
        const auto result = call();
        if (!(result == -1 && errno == EINTR)) {
            return result;
        }
    }
}

// A file descriptor that this object alone closes, when it goes out of scope or is reset.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : FFd(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : FFd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    explicit operator bool() const { return Valid(); }

    // Gives the descriptor up without closing it.
    int Release() {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }
    // Closes the descriptor held (if any) and takes `fd` in its place.
    void Reset(int fd = -1) {
        if (FFd >= 0) {
            ::close(FFd);
        }
        FFd = fd;
    }
    // Closes now and tells whether the close succeeded: for a file just written, a failed close may be the
    // only report of a failed write. Not retried on EINTR: the descriptor is gone either way on Linux.
    bool Close() { return FFd < 0 || ::close(Release()) == 0; }

private:
    int FFd = -1;
};

} // namespace pardova::platform
