#pragma once
// Helpers shared by the platform and log suites: a unique temporary folder per test, whole-file reads, and
// running this very test program again as a child process (for what only a second process can show).

#include "platform/core/Process.h"
#include "platform/core/Text.h"
#include "support/TestRemoveFolder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace pardova::testing {

inline std::string Utf8(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

inline std::filesystem::path FromUtf8(const std::string& s) {
    return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

// A fresh folder under the system's temporary folder, removed with everything in it at the end; what cannot
// be removed fails the test (RemoveTestFolder).
class TempDir {
public:
    TempDir() {
        std::random_device rd;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            FPath = base / ("pardova-test-" + std::to_string(rd()) + std::to_string(rd()));
            if (std::filesystem::create_directory(FPath)) {
                break;
            }
        }
    }
    ~TempDir() { RemoveTestFolder(FPath); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // The native UTF-8 text of a path inside the folder.
    std::string operator/(const std::string& relative) const { return Utf8(FPath / FromUtf8(relative)); }

private:
    std::filesystem::path FPath;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(FromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(FromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool Exists(const std::string& path) { return std::filesystem::exists(FromUtf8(path)); }

inline std::vector<std::string> SortedNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        names.push_back(Utf8(e.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

inline std::string GetEnv(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

// Sets an environment variable for the lifetime of the object and restores the previous value after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : FName(name) {
        const char* old = std::getenv(name);
        FHad = old != nullptr;
        FOld = FHad ? old : "";
        SetEnv(name, value);
    }
    ~ScopedEnv() { FHad ? SetEnv(FName, FOld) : UnsetEnv(FName); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* FName;
    bool FHad = false;
    std::string FOld;
};

// Runs this test program with a filter that selects one disabled "child" test, and waits for it. The
// child reads its parameters from the environment, which it inherits. Returns the exit code, or -1.
inline int RunSelfChild(const std::string& testName) {
    const std::string exe = platform::GetModulePath();
    const std::string filter = "--gtest_filter=" + testName;
    const std::string disabled = "--gtest_also_run_disabled_tests";
#ifdef _WIN32
    std::string commandLine = "\"" + exe + "\" " + filter + " " + disabled;
    const std::u16string wide16 = platform::Utf8ToUtf16(commandLine);
    std::wstring wide(wide16.begin(), wide16.end());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return -1;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
#else
    const pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        execl(exe.c_str(), exe.c_str(), filter.c_str(), disabled.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
#endif
}

} // namespace pardova::testing
