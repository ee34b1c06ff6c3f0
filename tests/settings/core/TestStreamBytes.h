#pragma once
// Streams as bytes: a byte string spelled out value by value, and what a writer puts into a fresh stream.

#include "settings/core/ObjectStream.h"

#include <initializer_list>
#include <string>

namespace pardova::testing {

inline std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

template <typename F> std::string Written(F&& write) {
    TMemoryStream stream;
    TWriter writer(stream);
    write(writer);
    return stream.ToString();
}

} // namespace pardova::testing
