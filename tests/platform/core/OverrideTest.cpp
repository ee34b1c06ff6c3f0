// A scoped override puts its value in place for its scope only, and nested overrides each restore what they
// found, also when the scope is left by an exception.

#include "platform/core/Override.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace pardova {
namespace {

using platform::OverridePoint;
using platform::ScopedOverride;

TEST(OverrideTest, NestedOverridesRestoreInReverseOrder) {
    int native = 1;
    int first = 2;
    int second = 3;
    OverridePoint<int*> point(&native);
    {
        ScopedOverride<int*> outer(point, &first);
        EXPECT_EQ(point.Get(), &first);
        {
            ScopedOverride<int*> inner(point, &second);
            EXPECT_EQ(point.Get(), &second);
        }
        EXPECT_EQ(point.Get(), &first);
    }
    EXPECT_EQ(point.Get(), &native);
}

TEST(OverrideTest, AnExceptionLeavingTheScopeRestoresTheValue) {
    OverridePoint<std::function<std::string()>> point([] { return std::string("native"); });
    try {
        ScopedOverride<std::function<std::string()>> scoped(point, [] { return std::string("fake"); });
        EXPECT_EQ(point.Get()(), "fake");
        throw std::runtime_error("leave");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(point.Get()(), "native");
}

} // namespace
} // namespace pardova
