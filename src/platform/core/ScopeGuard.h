#pragma once
// Clean-up stated once. ScopeGuard: a callable that runs when the scope is left, whichever way it is left,
// unless the guard was dismissed first (the work succeeded and the clean-up is not wanted). UniqueResource:
// a descriptor or handle that one owner releases, on every path.

#include <utility>

namespace pardova::platform {

template <typename Callback> class ScopeGuard {
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

// Traits give the resource's type (Value), the value that stands for none (Invalid), whether a value is a
// real one (IsValid), and how one is released (Close, true when that succeeded).
template <typename Traits> class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value value) : FValue(value) {}
    UniqueResource(UniqueResource&& other) noexcept : FValue(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { Reset(); }

    Value Get() const { return FValue; }
    bool Valid() const { return Traits::IsValid(FValue); }
    explicit operator bool() const { return Valid(); }

    // Gives the resource up without releasing it.
    Value Release() {
        const Value value = FValue;
        FValue = Traits::Invalid();
        return value;
    }
    // Releases the resource held (if any) and takes `value` in its place.
    void Reset(Value value = Traits::Invalid()) {
        if (Traits::IsValid(FValue)) {
            (void)Traits::Close(FValue);
        }
        FValue = value;
    }
    // Releases the resource now and tells whether that succeeded (true when there was none): for a file just
    // written, a failed close may be the only report of a failed write.
    bool Close() { return !Valid() || Traits::Close(Release()); }

private:
    Value FValue = Traits::Invalid();
};

} // namespace pardova::platform
