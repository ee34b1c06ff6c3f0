#pragma once
// Removes a test's temporary folder with everything in it, and fails the running test for each entry that
// cannot be removed, naming it and the system's reason. Nothing is forced: a test that takes permissions
// away, or makes a file read-only, gives them back itself, so that what a test leaves behind is seen, not
// hidden by its clean-up.

#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace pardova::testing {

namespace detail {

// The failures named one by one; past them only their number is given.
constexpr int kReportedFailures = 20;

inline std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline void ReportLeft(const std::filesystem::path& path, const char* what, const std::error_code& ec, int& failures) {
    if (++failures <= kReportedFailures) {
        ADD_FAILURE() << "the test left " << PathText(path) << " behind: cannot " << what << " it: " << ec.message();
    }
}

#ifdef _WIN32
// Through the system's own calls on the long form of the path (\\?\C:\...): tests make paths past the old
// limit of 260 characters on purpose, which the runtime's file calls cannot reach.
inline void RemoveEntry(const std::wstring& path, int& failures) {
    const auto fail = [&](const char* what, DWORD code) {
        const std::wstring shown = path.rfind(L"\\\\?\\", 0) == 0 ? path.substr(4) : path;
        ReportLeft(std::filesystem::path(shown), what, std::error_code(static_cast<int>(code), std::system_category()),
                   failures);
    };
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        fail("read the attributes of", ::GetLastError());
        return;
    }
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A link to a folder is removed as it is, never entered.
    if (folder && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        WIN32_FIND_DATAW entry{};
        const HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) {
            fail("list", ::GetLastError());
        } else {
            do {
                const std::wstring name = entry.cFileName;
                if (name != L"." && name != L"..") {
                    RemoveEntry(path + L"\\" + name, failures);
                }
            } while (::FindNextFileW(find, &entry));
            const DWORD end = ::GetLastError();
            ::FindClose(find);
            if (end != ERROR_NO_MORE_FILES) {
                fail("list", end);
            }
        }
    }
    // Another process may hold the entry for a moment (a search of the same folder by a suite running
    // beside this one): a sharing violation is polled for up to two seconds before it counts as left behind.
    for (int attempt = 0;; ++attempt) {
        if (folder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str())) {
            return;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION || attempt == 200) {
            fail("remove", error);
            return;
        }
        ::Sleep(10);
    }
}
#else
// Removes one entry, a folder after its contents; links are removed, never followed.
inline void RemoveEntry(const std::filesystem::path& path, int& failures) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec) {
        ReportLeft(path, "read the attributes of", ec, failures);
        return;
    }
    if (std::filesystem::is_directory(status)) {
        std::filesystem::directory_iterator it(path, ec);
        for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
            RemoveEntry(it->path(), failures);
        }
        if (ec) {
            ReportLeft(path, "list", ec, failures);
            return;
        }
    }
    if (!std::filesystem::remove(path, ec) && ec) {
        ReportLeft(path, "remove", ec, failures);
    }
}
#endif

} // namespace detail

// Removes the folder and everything below it; a folder that is not there is no failure.
inline void RemoveTestFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(folder, ec))) {
        return;
    }
    int failures = 0;
#ifdef _WIN32
    const std::wstring full = std::filesystem::absolute(folder).make_preferred().wstring();
    detail::RemoveEntry(full.rfind(L"\\\\", 0) == 0 ? full : L"\\\\?\\" + full, failures);
#else
    detail::RemoveEntry(folder, failures);
#endif
    if (failures > detail::kReportedFailures) {
        ADD_FAILURE() << "and " << (failures - detail::kReportedFailures) << " more entries below "
                      << detail::PathText(folder);
    }
}

} // namespace pardova::testing
