#pragma once
// The built program in a temporary folder of its own (its log and settings live beside the executable),
// started as a user or a scheduled task would start it, offscreen, under a guard that kills a run that
// never ends by itself (a failure box waiting for a user).
//
// A run that opens the window has it closed once the window stands open and idle. On Windows the test
// closes it as a user would, through a close request to its frame, so every run there starts the shipped
// pardova.exe. Offscreen on Linux nothing outside the program can close a window: such runs start the
// suites' own build of the program, the shipped main() with a hook that closes the window
// (tests/e2e/CloseWhenIdleHook.cpp); the runs that end by themselves (/s) start the shipped program.

#include "support/TestRemoveFolder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pardova::e2e {

namespace fs = std::filesystem;

constexpr int kKilledByGuard = 128 + 9;

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// settings.ini as the program writes it, holding the window's place, folder A and folder B (paths of up to
// 64 characters, without apostrophes, stay on one line of the text form) with the box not ticked and no
// program.
inline std::string SettingsWithFields(const std::string& A, const std::string& B, int Left = 100, int Top = 120) {
    return "[TMainForm]\r\n"
           "Line0='object MainForm: TMainForm'\r\n"
           "Line1='  Left = " +
           std::to_string(Left) +
           "'\r\n"
           "Line2='  Top = " +
           std::to_string(Top) +
           "'\r\n"
           "Line3='  object CheckBox1: TsCheckBox'\r\n"
           "Line4='    Checked = False'\r\n"
           "Line5='  end'\r\n"
           "Line6='  object DirEdit1: TsDirectoryEdit'\r\n"
           "Line7='    Text = '" +
           A +
           "''\r\n"
           "Line8='  end'\r\n"
           "Line9='  object DirEdit2: TsDirectoryEdit'\r\n"
           "Line10='    Text = '" +
           B +
           "''\r\n"
           "Line11='  end'\r\n"
           "Line12='  object ExeEdit: TsFilenameEdit'\r\n"
           "Line13='    Text = '''\r\n"
           "Line14='  end'\r\n"
           "Line15='end'\r\n"
           "\r\n"
           "\r\n";
}

#ifdef _WIN32
inline std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

inline std::wstring TextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

// The visible top-level windows of a process.
inline std::vector<HWND> WindowsOf(DWORD processId) {
    struct Scan {
        DWORD Id;
        std::vector<HWND> Found;
    } scan{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Scan*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->Id && IsWindowVisible(window)) {
                s->Found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&scan));
    return scan.Found;
}

// The system's message box, and the program's main window by its caption.
inline bool IsBox(HWND window) { return ClassOf(window) == L"#32770"; }
inline bool IsMainWindow(HWND window) { return !IsBox(window) && TextOf(window) == L"Pardova, 1.0"; }
#endif

class ProgramFolder : public ::testing::Test {
protected:
    ProgramFolder(std::string folderPrefix, std::string guardSeconds)
        : FFolderPrefix(std::move(folderPrefix)), FGuardSeconds(std::move(guardSeconds)) {}

#ifdef _WIN32
    using Process = HANDLE;
    static constexpr const char* kExecutableName = "pardova.exe";
#else
    using Process = pid_t;
    static constexpr const char* kExecutableName = "pardova";
#endif

    void SetUp() override {
#ifdef _WIN32
        // Short: the saved paths must stay within one line of the settings' text form.
        Dir = fs::temp_directory_path() / (FFolderPrefix + "-" + std::to_string(GetCurrentProcessId() % 10000) + "-" +
                                           std::to_string(GetTickCount64() % 100000));
        ASSERT_TRUE(fs::create_directories(Dir));
#else
        std::string pattern = "/tmp/" + FFolderPrefix + "-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Dir = pattern;
#endif
        fs::create_directories(Dir / "app");
        Executable = Dir / "app" / kExecutableName;
        fs::copy_file(PARDOVA_EXECUTABLE, Executable);
    }

    // What cannot be removed fails the test (RemoveTestFolder).
    void TearDown() override { pardova::testing::RemoveTestFolder(Dir); }

#ifdef _WIN32
    // Starts the shipped program from the temporary folder; on the given "station\desktop" when one is named.
    Process Start(const std::vector<std::string>& arguments, const std::wstring& desktop = {}) {
        std::wstring commandLine = L"\"" + Executable.wstring() + L"\"";
        for (const std::string& argument : arguments) {
            commandLine += L" " + fs::u8path(argument).wstring();
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        std::wstring desktopName = desktop;
        if (!desktopName.empty()) {
            startup.lpDesktop = desktopName.data();
        }
        PROCESS_INFORMATION info{};
        const BOOL started = CreateProcessW(Executable.wstring().c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                            0, nullptr, Dir.wstring().c_str(), &startup, &info);
        EXPECT_TRUE(started) << "CreateProcessW failed: " << GetLastError();
        if (!started) {
            return nullptr;
        }
        CloseHandle(info.hThread);
        return info.hProcess;
    }

    // Waits for the program's end; its exit code, or kKilledByGuard when the guard had to end it. With
    // closeWhenIdle, its main window gets a close request once it shows and no message box stands open.
    int Wait(Process process, bool closeWhenIdle = false) {
        if (process == nullptr) {
            return -1;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::stoul(FGuardSeconds));
        bool closed = !closeWhenIdle;
        DWORD waited = WAIT_TIMEOUT;
        while (waited != WAIT_OBJECT_0 && std::chrono::steady_clock::now() < deadline) {
            if (!closed) {
                const std::vector<HWND> windows = WindowsOf(GetProcessId(process));
                bool box = false;
                HWND mainWindow = nullptr;
                for (HWND window : windows) {
                    box = box || IsBox(window);
                    mainWindow = IsMainWindow(window) ? window : mainWindow;
                }
                if (mainWindow != nullptr && !box) {
                    PostMessageW(mainWindow, WM_CLOSE, 0, 0);
                    closed = true;
                }
            }
            waited = WaitForSingleObject(process, closed ? 1000 : 20);
        }
        int result = 0;
        if (waited != WAIT_OBJECT_0) {
            TerminateProcess(process, kKilledByGuard);
            WaitForSingleObject(process, INFINITE);
            result = kKilledByGuard;
        } else {
            DWORD code = 0;
            GetExitCodeProcess(process, &code);
            result = static_cast<int>(code);
        }
        CloseHandle(process);
        return result;
    }

    int Run(const std::vector<std::string>& arguments, bool closeWhenIdle) {
        return Wait(Start(arguments), closeWhenIdle);
    }

    // Waits, while the program runs, until one of its windows passes the test; none when the program ends
    // or the time runs out first.
    template <class Test> HWND AwaitWindow(HANDLE process, Test test) {
        const DWORD id = GetProcessId(process);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            for (HWND window : WindowsOf(id)) {
                if (test(window)) {
                    return window;
                }
            }
            // The program's end, or the next look.
            if (WaitForSingleObject(process, 20) == WAIT_OBJECT_0) {
                return nullptr;
            }
        }
        return nullptr;
    }
#else
    // Starts the program from the temporary folder: the shipped one, or with closeWhenIdle the suites'
    // build that closes its window once it stands open and idle.
    Process Start(const std::vector<std::string>& arguments, bool closeWhenIdle) {
        UseProgram(closeWhenIdle ? PARDOVA_CLOSING_EXECUTABLE : PARDOVA_EXECUTABLE);
        std::vector<std::string> command = {"timeout", "-s", "KILL", FGuardSeconds, Executable.string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const pid_t child = fork();
        if (child == 0) {
            // Its own process group, so that killing the group reaches the program under the guard too.
            setpgid(0, 0);
            if (chdir(Dir.c_str()) != 0) {
                _exit(126);
            }
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            std::vector<char*> argv;
            for (auto& part : command) {
                argv.push_back(part.data());
            }
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        setpgid(child, child);
        return child;
    }

    // Waits for the program's end; the exit code, or 128 + the signal (kKilledByGuard for the guard).
    static int Wait(pid_t child) {
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int Run(const std::vector<std::string>& arguments, bool closeWhenIdle) {
        return Wait(Start(arguments, closeWhenIdle));
    }
#endif

    void SaveFields(const std::string& A, const std::string& B) {
        WriteFile(Dir / "app" / "settings.ini", SettingsWithFields(A, B));
    }

    // A small folder A: two files, one of them in a sub-folder, and an empty folder.
    void MakeSmallA() const {
        fs::create_directories(Dir / "A" / "sub" / "empty");
        WriteFile(Dir / "A" / "f.txt", "payload");
        WriteFile(Dir / "A" / "sub" / "g.txt", "more");
    }

    // The event texts of the program's log.txt, in order; every line must end in CR LF and carry the
    // Info framing.
    std::vector<std::string> LogTexts() const {
        const std::string text = ReadFile(Dir / "app" / "log.txt");
        std::vector<std::string> events;
        size_t begin = 0;
        while (begin < text.size()) {
            size_t end = text.find("\r\n", begin);
            if (end == std::string::npos) {
                ADD_FAILURE() << "a line without CR LF";
                end = text.size();
            }
            const std::string line = text.substr(begin, end - begin);
            const size_t framing = line.find(" | Info | ");
            EXPECT_NE(framing, std::string::npos) << line;
            events.push_back(framing == std::string::npos ? line : line.substr(framing + 10));
            begin = end + 2;
        }
        return events;
    }

    fs::path Dir;
    fs::path Executable;

private:
#ifndef _WIN32
    // Puts the given build of the program in the temporary folder, unless it is there already.
    void UseProgram(const char* source) {
        if (FProgram == source) {
            return;
        }
        // A new file rather than the old one rewritten, which fails while a program still runs from it.
        fs::remove(Executable);
        fs::copy_file(source, Executable);
        FProgram = source;
    }

    std::string FProgram = PARDOVA_EXECUTABLE;
#endif
    std::string FFolderPrefix;
    std::string FGuardSeconds;
};

} // namespace pardova::e2e
