#include "platform/core/Units.h"

#include <utility>
#include <vector>

namespace pardova::platform {

namespace {
std::vector<std::function<void()>>& Finalizers() {
    static std::vector<std::function<void()>> list;
    return list;
}
} // namespace

void RegisterFinalizer(std::function<void()> finalizer) {
    if (finalizer) {
        Finalizers().push_back(std::move(finalizer));
    }
}

void RunFinalizers() {
    auto& list = Finalizers();
    // A finaliser may register another (a unit that is first used while another cleans up); it still runs.
    while (!list.empty()) {
        auto finalizer = std::move(list.back());
        list.pop_back();
        try {
            finalizer();
        } catch (...) {
        }
    }
}

} // namespace pardova::platform
