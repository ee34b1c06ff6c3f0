#pragma once
// Removes a test's temporary folder with everything in it, and fails the running test for each entry that
// cannot be removed, naming it and the system's reason. Nothing is forced: a test that takes permissions
// away, or makes a file read-only, gives them back itself, so that what a test leaves behind is seen, not
// hidden by its clean-up.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace pardova::testing {

namespace detail {

inline std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The failures named one by one; past them only their number is given.
constexpr int kReportedFailures = 20;

// Removes one entry, a folder after its contents; links are removed, never followed. Counts the failures.
inline void RemoveEntry(const std::filesystem::path& path, int& failures) {
    const auto fail = [&](const char* what, const std::error_code& ec) {
        if (++failures <= kReportedFailures) {
            ADD_FAILURE() << "the test left " << PathText(path) << " behind: cannot " << what
                          << " it: " << ec.message();
        }
    };
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (ec) {
        fail("read the attributes of", ec);
        return;
    }
    if (std::filesystem::is_directory(status)) {
        std::filesystem::directory_iterator it(path, ec);
        for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
            RemoveEntry(it->path(), failures);
        }
        if (ec) {
            fail("list", ec);
            return;
        }
    }
    if (!std::filesystem::remove(path, ec) && ec) {
        fail("remove", ec);
    }
}

} // namespace detail

// Removes the folder and everything below it; a folder that is not there is no failure.
inline void RemoveTestFolder(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(folder, ec))) {
        return;
    }
    int failures = 0;
    detail::RemoveEntry(folder, failures);
    if (failures > detail::kReportedFailures) {
        ADD_FAILURE() << "and " << (failures - detail::kReportedFailures) << " more entries below "
                      << detail::PathText(folder);
    }
}

} // namespace pardova::testing
