#pragma once
// Windows: what the suites that look at the program's windows from outside share, with no toolkit.

#ifdef _WIN32

#include <windows.h>

#include <vector>

namespace pardova::testing {

// Every child window of `window`, at any depth, in the system's order.
inline std::vector<HWND> ChildWindows(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM list) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

} // namespace pardova::testing

#endif
