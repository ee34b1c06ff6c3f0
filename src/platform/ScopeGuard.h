#pragma once
// Clean-up stated once: a callable that runs when the scope is left, whichever way it is left, unless the
// guard was dismissed first (the work succeeded and the clean-up is not wanted).

#include <utility>

namespace pardova::platform {

template <typename Callback>
class ScopeGuard {
public:
    explicit ScopeGuard(Callback callback) : FCallback(std::move(callback)) {}
    ScopeGuard(const ScopeGuard&) = delete;
    ScopeGuard& operator=(const ScopeGuard&) = delete;
    // The callback must not throw: it may run while an exception is on its way out.
    ~ScopeGuard() {
        if (FArmed) {
            FCallback();
        }
    }

    void Dismiss() { FArmed = false; }

private:
    Callback FCallback;
    bool FArmed = true;
};

} // namespace pardova::platform
