#pragma once
// One way for tests to put another behaviour in place. An OverridePoint holds what the program uses (a
// service, a clock, a factory); a ScopedOverride puts another value there for the life of a scope and
// restores the previous one when the scope is left, however it is left. Overrides nest: each restores what
// it found. The program itself never overrides; a point is set only while no other thread reads it, except
// for a value that the machine reads and writes atomically without a lock (a pointer, a flag), which is
// read and set atomically.

#include <atomic>
#include <type_traits>
#include <utility>

namespace pardova::platform {

template <typename T> class ScopedOverride;

// Whether a value of type T is read and written atomically without a lock.
template <typename T, bool = std::is_trivially_copyable_v<T>> struct AlwaysLockFree : std::false_type {};
template <typename T> struct AlwaysLockFree<T, true> : std::bool_constant<std::atomic<T>::is_always_lock_free> {};

template <typename T> class OverridePoint {
public:
    explicit OverridePoint(T initial) : FValue(std::move(initial)) {}
    OverridePoint(const OverridePoint&) = delete;
    OverridePoint& operator=(const OverridePoint&) = delete;

    T Get() const {
        if constexpr (kAtomic) {
            return FValue.load(std::memory_order_acquire);
        } else {
            return FValue;
        }
    }

private:
    friend class ScopedOverride<T>;
    static constexpr bool kAtomic = AlwaysLockFree<T>::value;

    T Exchange(T value) {
        if constexpr (kAtomic) {
            return FValue.exchange(value, std::memory_order_acq_rel);
        } else {
            return std::exchange(FValue, std::move(value));
        }
    }

    std::conditional_t<kAtomic, std::atomic<T>, T> FValue;
};

template <typename T> class ScopedOverride {
public:
    ScopedOverride(OverridePoint<T>& point, T value) : FPoint(point), FSaved(point.Exchange(std::move(value))) {}
    ScopedOverride(const ScopedOverride&) = delete;
    ScopedOverride& operator=(const ScopedOverride&) = delete;
    ~ScopedOverride() { (void)FPoint.Exchange(std::move(FSaved)); }

private:
    OverridePoint<T>& FPoint;
    T FSaved;
};

} // namespace pardova::platform
