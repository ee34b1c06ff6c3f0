#pragma once
// What every Windows part of the platform layer shares, so that each rule lives in one place: text crosses
// the API as UTF-16 (Widen, Narrow), a path too long for the plain calls goes to the platform in its long
// form (LongPath), a failure is read and put into words one way (LastError, ErrorMessage), and a handle is
// closed on every path (ScopedHandle, ScopedFindHandle).

#include "platform/core/ScopeGuard.h"
#include "platform/core/Text.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace pardova::platform {

inline std::wstring Widen(std::string_view text) {
    const std::u16string wide = Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string Narrow(std::wstring_view text) {
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

// The calling thread's last error, in the numbering every layer above uses.
inline uint32_t LastError() { return static_cast<uint32_t>(::GetLastError()); }

// The system's text for an error code, without the line break it ends in.
inline std::string ErrorMessage(uint32_t error) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                         nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) {
        return "Unknown error " + std::to_string(error);
    }
    std::wstring text(buffer, length);
    ::LocalFree(buffer);
    while (!text.empty() && static_cast<unsigned>(text.back()) <= 32) {
        text.pop_back();
    }
    return Narrow(text);
}

// The full path against the current folder; empty for an empty path or on failure.
inline std::wstring FullPathW(const std::wstring& path) {
    if (path.empty()) {
        return {};
    }
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length);
    }
}

// The plain calls refuse paths from this length on (CreateDirectoryW's limit, the lowest of them).
inline constexpr size_t kPlainPathLimit = MAX_PATH - 12;

// The path as the platform should receive it: unchanged while it is short enough for the plain calls, else
// its full path in long form ("\\?\" or, for a share, "\\?\UNC\"). A path already in a device or long form
// stays as given. Callers never see the long form: it is made at the call and goes no further.
inline std::wstring LongPath(std::string_view path) {
    const auto startsWith = [](std::wstring_view text, std::wstring_view prefix) {
        return text.substr(0, prefix.size()) == prefix;
    };
    std::wstring wide = Widen(path);
    if (startsWith(wide, L"\\\\?\\") || startsWith(wide, L"\\\\.\\")) {
        return wide;
    }
    std::wstring full = FullPathW(wide);
    if (full.size() < kPlainPathLimit) {
        return wide;
    }
    if (startsWith(full, L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

// Kernel objects: files, mutexes, processes. Their calls fail with either null or INVALID_HANDLE_VALUE.
struct KernelHandleTraits {
    using Value = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static bool Close(HANDLE handle) { return ::CloseHandle(handle) != 0; }
};

// A directory search of FindFirstFile, closed by FindClose.
struct FindHandleTraits {
    using Value = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE handle) { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    static bool Close(HANDLE handle) { return ::FindClose(handle) != 0; }
};

// Handles that one owner closes.
using ScopedHandle = UniqueResource<KernelHandleTraits>;
using ScopedFindHandle = UniqueResource<FindHandleTraits>;

} // namespace pardova::platform
