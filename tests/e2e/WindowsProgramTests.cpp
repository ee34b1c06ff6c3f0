// pardova.exe on Windows, driven from outside as a user meets it: the failure box is the system's own
// message box, found among the program's windows, read back and answered through its OK button; the main
// window is closed through its frame's close request; its fields come back at the next start.

#include "e2e/TestProgramFolder.h"

#include <gmock/gmock.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace pardova::e2e;
using ::testing::ElementsAre;

const std::string kStartLine = "start Pardova, 1.0 - - - - - - - - - - - - - - - - - - - - -";

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

std::vector<HWND> ChildrenOf(HWND window) {
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

class WindowsProgram : public ProgramFolder {
protected:
    WindowsProgram() : ProgramFolder("pw", "60") {}

    void SetUp() override {
        ProgramFolder::SetUp();
        MakeSmallA();
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
};

TEST_F(WindowsProgram, AGoodSilentPassLogsBackslashPathsRewritesTheSettingsAndExitsWithZero) {
    const std::string A = (Dir / "A").string();
    const std::string B = (Dir / "B").string();
    SaveFields(A, B);
    // The switch in capitals: the platform lower-cases the command line's first argument.
    ASSERT_EQ(Run({"/S"}, false), 0);
    EXPECT_EQ(ReadFile(Dir / "B" / "f.txt"), "payload");
    EXPECT_EQ(ReadFile(Dir / "B" / "sub" / "g.txt"), "more");
    EXPECT_TRUE(fs::is_directory(Dir / "B" / "sub" / "empty"));
    const auto texts = LogTexts();
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts.front(), kStartLine);
    EXPECT_EQ(texts[1], "Папка не найдена, создаю " + B);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "  копирую -> " + B + "\\f.txt"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "  копирую -> " + B + "\\sub\\g.txt"), texts.end());
    EXPECT_EQ(texts.back(), "finish");
    EXPECT_EQ(ReadFile(Dir / "app" / "settings.ini"), SettingsWithFields(A, B));
}

TEST_F(WindowsProgram, ASilentStartWithNothingSavedShowsTheSystemBoxThenTheWindow) {
    HANDLE process = Start({"/s"});
    ASSERT_NE(process, nullptr);
    HWND box = AwaitWindow(process, IsBox);
    ASSERT_NE(box, nullptr) << "no message box";
    // The caption is the executable's name cut at the first "." with every character after the first
    // lower-cased: "pardova.exe" gives "pardova".
    EXPECT_EQ(TextOf(box), L"pardova");
    std::wstring text;
    HWND ok = nullptr;
    size_t buttons = 0;
    for (HWND child : ChildrenOf(box)) {
        const std::wstring kind = ClassOf(child);
        if (_wcsicmp(kind.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            ++buttons;
            if (GetDlgCtrlID(child) == IDOK) {
                ok = child;
            }
        } else if (_wcsicmp(kind.c_str(), L"Static") == 0 &&
                   (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            text += TextOf(child);
        }
    }
    // The empty folder A: the words, a carriage return and no full stop.
    EXPECT_EQ(Utf8(text), "Папка не найдена\r");
    EXPECT_EQ(buttons, 1u);
    ASSERT_NE(ok, nullptr);
    // Until the box is answered the main window does not show.
    for (HWND other : WindowsOf(GetProcessId(process))) {
        EXPECT_FALSE(IsMainWindow(other)) << "the window showed before the box was answered";
    }
    SendMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));

    HWND window = AwaitWindow(process, IsMainWindow);
    ASSERT_NE(window, nullptr) << "no main window after the box";
    EXPECT_THAT(LogTexts(), ElementsAre(kStartLine));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Wait(process), 0);
    EXPECT_THAT(LogTexts(), ElementsAre(kStartLine, "finish"));
    EXPECT_FALSE(fs::exists(Dir / "B"));
}

// A task that runs whether or not a user is logged on gets a window station that no user sees: a failed
// silent pass there shows no box that would wait for ever, and ends through its normal shutdown with code 1.
TEST_F(WindowsProgram, AFailedSilentPassOnAWindowStationNobodySeesEndsWithOne) {
    const std::wstring stationName = L"PardovaTask" + std::to_wstring(GetCurrentProcessId());
    HWINSTA station = CreateWindowStationW(stationName.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(station, nullptr) << GetLastError();
    HWINSTA own = GetProcessWindowStation();
    ASSERT_TRUE(SetProcessWindowStation(station)) << GetLastError();
    HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
    ASSERT_NE(desktop, nullptr) << GetLastError();

    const auto started = std::chrono::steady_clock::now();
    HANDLE process = Start({"/s"}, stationName + L"\\Default");
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(Wait(process), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_THAT(LogTexts(), ElementsAre(kStartLine, "finish"));
    // The settings saved as after any silent run: nothing was saved before, the empty fields now are.
    EXPECT_NE(ReadFile(Dir / "app" / "settings.ini").find("DirEdit1"), std::string::npos);
    CloseDesktop(desktop);
    CloseWindowStation(station);
}

TEST_F(WindowsProgram, TheWindowClosedByTheUserSavesAndTheNextStartRestoresTheFields) {
    SaveFields((Dir / "A").string(), (Dir / "B").string());
    const std::string saved = ReadFile(Dir / "app" / "settings.ini");
    for (int start = 0; start < 2; ++start) {
        HANDLE process = Start({});
        ASSERT_NE(process, nullptr);
        HWND window = AwaitWindow(process, IsMainWindow);
        ASSERT_NE(window, nullptr) << "start " << start;
        PostMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(Wait(process), 0);
        // What was restored is saved again on closing: the same bytes.
        EXPECT_EQ(ReadFile(Dir / "app" / "settings.ini"), saved) << "start " << start;
    }
    EXPECT_THAT(LogTexts(), ElementsAre(kStartLine, "finish", kStartLine, "finish"));
    EXPECT_FALSE(fs::exists(Dir / "B"));
}

// The end-to-end suites once had the program close its own window when an environment variable asked for
// it; the shipped program has no such hook, so a user who happens to have it set keeps the window open.
TEST_F(WindowsProgram, TheWindowStaysOpenUntilClosedWhateverTheEnvironmentSays) {
    SaveFields((Dir / "A").string(), (Dir / "B").string());
    SetEnvironmentVariableW(L"PARDOVA_TEST_CLOSE_WHEN_IDLE", L"1");
    HANDLE process = Start({});
    SetEnvironmentVariableW(L"PARDOVA_TEST_CLOSE_WHEN_IDLE", nullptr);
    ASSERT_NE(process, nullptr);
    HWND window = AwaitWindow(process, IsMainWindow);
    ASSERT_NE(window, nullptr);
    // Such a hook closed an idle window within a few milliseconds; two seconds on, it is still open.
    EXPECT_EQ(WaitForSingleObject(process, 2000), static_cast<DWORD>(WAIT_TIMEOUT));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Wait(process), 0);
    EXPECT_THAT(LogTexts(), ElementsAre(kStartLine, "finish"));
    EXPECT_FALSE(fs::exists(Dir / "B"));
}

// Left and Top are the corner of the window rectangle, as the system reports it to every other program.
TEST_F(WindowsProgram, TheNextStartRestoresTheWindowsPlace) {
    SaveFields((Dir / "A").string(), (Dir / "B").string());
    HANDLE process = Start({});
    ASSERT_NE(process, nullptr);
    HWND window = AwaitWindow(process, IsMainWindow);
    ASSERT_NE(window, nullptr);
    RECT frame{};
    GetWindowRect(window, &frame);
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(Wait(process), 0);
    // The saved place: Left 100, Top 120.
    EXPECT_EQ(frame.left, 100);
    EXPECT_EQ(frame.top, 120);
}

} // namespace
