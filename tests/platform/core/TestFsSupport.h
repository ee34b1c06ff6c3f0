#pragma once
// Helpers for tests that work on real files: a unique temporary folder per test, and UTF-8 text in and
// out of std::filesystem on every platform.

#include "platform/core/Path.h"
#include "support/TestRemoveFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#endif

namespace pardova::testing {

namespace stdfs = std::filesystem;

// The library's path for a UTF-8 path text, and back: the platform layer speaks UTF-8 on every system.
inline stdfs::path PathFromUtf8(const std::string& utf8) {
    return stdfs::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8FromPath(const stdfs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path) {
    std::error_code ec;
    return stdfs::exists(stdfs::symlink_status(PathFromUtf8(path), ec));
}

// Moves a file's last-write time by the given amount. Some runtimes set times in whole seconds only, so
// the time is first set to what it reads as, and the shift is then exact.
inline void ShiftWriteTime(const std::string& path, std::chrono::seconds by) {
    stdfs::last_write_time(PathFromUtf8(path), stdfs::last_write_time(PathFromUtf8(path)));
    stdfs::last_write_time(PathFromUtf8(path), stdfs::last_write_time(PathFromUtf8(path)) + by);
}

// Gives `to` the last-write time of `from` moved by `by`, exactly (see ShiftWriteTime).
inline void CopyWriteTime(const std::string& from, const std::string& to,
                          std::chrono::seconds by = std::chrono::seconds(0)) {
    stdfs::last_write_time(PathFromUtf8(from), stdfs::last_write_time(PathFromUtf8(from)));
    stdfs::last_write_time(PathFromUtf8(to), stdfs::last_write_time(PathFromUtf8(from)) + by);
}

// Whether a Windows build runs on Wine, whose file calls differ from Windows in a few documented ways.
inline bool RunningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// Takes the write permission away (on Windows: sets the read-only attribute).
inline void MakeReadOnly(const std::string& path) {
    stdfs::permissions(PathFromUtf8(path),
                       stdfs::perms::owner_write | stdfs::perms::group_write | stdfs::perms::others_write,
                       stdfs::perm_options::remove);
}

// Gives the owner's write permission back (on Windows: clears the read-only attribute, without which the
// file cannot be removed).
inline void MakeWritable(const std::string& path) {
    stdfs::permissions(PathFromUtf8(path), stdfs::perms::owner_write, stdfs::perm_options::add);
}

#ifndef _WIN32
// Runs `run` with the process's file-size limit set low, so that writes past it fail part-way as they would
// on a full disk (the signal such a write raises is ignored meanwhile); gives run's result.
template <class F> auto WithFileSizeLimit(rlim_t limit, F run) {
    struct rlimit saved {};
    EXPECT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = limit;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    struct Restore {
        rlimit Limit;
        decltype(previousHandler) Handler;
        ~Restore() {
            ::setrlimit(RLIMIT_FSIZE, &Limit);
            std::signal(SIGXFSZ, Handler);
        }
    } restore{saved, previousHandler};
    return run();
}
#endif

// A fresh folder under the system's temporary folder, removed again at the end of the test; what cannot be
// removed fails the test (RemoveTestFolder). Root() ends in the native separator.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name =
            std::string("pardova-") + info->test_suite_name() + "-" + info->name() + "-" + std::to_string(random());
        for (char& c : name) {
            if (c == '/' || c == '\\') {
                c = '_';
            }
        }
        FRoot = stdfs::temp_directory_path() / name;
        stdfs::create_directories(FRoot);
        FRootText = platform::IncludeSlash(Utf8FromPath(FRoot.make_preferred()));
    }

    void TearDown() override { RemoveTestFolder(FRoot); }

    const std::string& Root() const { return FRootText; }
    // The path of a name below the root, with native separators.
    std::string At(const std::string& relative) const {
        std::string path = FRootText + relative;
        if (platform::kNativePathStyle == platform::PathStyle::Windows) {
            for (char& c : path) {
                if (c == '/') {
                    c = '\\';
                }
            }
        }
        return path;
    }
    void MakeDirs(const std::string& relative) const { stdfs::create_directories(PathFromUtf8(At(relative))); }

private:
    stdfs::path FRoot;
    std::string FRootText;
};

} // namespace pardova::testing
