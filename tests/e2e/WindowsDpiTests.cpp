// pardova.exe's window at the pixel densities Windows offers (96, 120, 144 and 192 DPI): the place the
// system reports when the window closes is the place it opens at next time, start after start, and a place
// saved on a monitor that has gone opens on the nearest monitor. The density is the user's LogPixels
// setting, which every process reads when it starts; the suite runs in a Wine prefix of its own, so that
// changing it never reaches the other suites.

#include "e2e/TestProgramFolder.h"

#include <gmock/gmock.h>

#include <windows.h>

#include <iterator>
#include <string>

namespace {

using namespace pardova::e2e;

class WindowAtDensity : public ProgramFolder, public ::testing::WithParamInterface<int> {
protected:
    WindowAtDensity() : ProgramFolder("pd", "60") {}

    void SetUp() override {
        ProgramFolder::SetUp();
        const DWORD dpi = static_cast<DWORD>(GetParam());
        ASSERT_EQ(
            RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi),
            ERROR_SUCCESS);
    }

    void TearDown() override {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels");
        ProgramFolder::TearDown();
    }

    void SavePlace(int left, int top) {
        WriteFile(Dir / "app" / "settings.ini",
                  SettingsWithFields((Dir / "A").string(), (Dir / "B").string(), left, top));
    }

    // Starts the program and waits for its window; checks that the window is drawn at this density (so
    // that the case tests what it says), not at 96 DPI.
    HWND StartWindow(HANDLE& process) {
        process = Start({});
        if (process == nullptr) {
            return nullptr;
        }
        HWND window = AwaitWindow(process, IsMainWindow);
        EXPECT_NE(window, nullptr) << "no main window";
        if (window != nullptr) {
            RECT client{};
            GetClientRect(window, &client);
            // The client area is 436 pixels wide at 96 DPI, scaled with the density.
            EXPECT_EQ(client.right - client.left, MulDiv(436, GetParam(), 96)) << "not drawn at " << GetParam();
        }
        return window;
    }

    static RECT Frame(HWND window) {
        RECT rect{};
        GetWindowRect(window, &rect);
        return rect;
    }

    void Close(HWND window, HANDLE process) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(Wait(process), 0);
    }
};

// Each start opens where the last one closed, as the system reports the frame; between starts the window
// is also moved from outside (as a user drags it), and that place comes back too.
TEST_P(WindowAtDensity, EveryStartOpensWhereTheLastOneClosed) {
    SavePlace(297, 178);
    const POINT moves[] = {{297, 178}, {297, 178}, {311, 203}, {311, 203}, {150, 97}};
    POINT expected = moves[0];
    for (size_t start = 0; start < std::size(moves); ++start) {
        HANDLE process = nullptr;
        HWND window = StartWindow(process);
        ASSERT_NE(window, nullptr) << "start " << start;
        const RECT frame = Frame(window);
        EXPECT_EQ(frame.left, expected.x) << "start " << start;
        EXPECT_EQ(frame.top, expected.y) << "start " << start;
        if (moves[start].x != expected.x || moves[start].y != expected.y) {
            SetWindowPos(window, nullptr, moves[start].x, moves[start].y, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            const RECT moved = Frame(window);
            EXPECT_EQ(moved.left, moves[start].x);
            EXPECT_EQ(moved.top, moves[start].y);
            expected = moves[start];
        }
        Close(window, process);
        const std::string settings = ReadFile(Dir / "app" / "settings.ini");
        EXPECT_THAT(settings, ::testing::HasSubstr("Line1='  Left = " + std::to_string(expected.x) +
                                                   "'\r\n"
                                                   "Line2='  Top = " +
                                                   std::to_string(expected.y) + "'\r\n"))
            << "start " << start;
    }
}

// Left 2500 lies beyond the right edge of the 1280-pixel desktop: the window opens on the monitor, moved
// only as far as it must, and that place is what is saved.
TEST_P(WindowAtDensity, APlaceOffTheDesktopOpensOnTheNearestMonitor) {
    SavePlace(2500, 140);
    HANDLE process = nullptr;
    HWND window = StartWindow(process);
    ASSERT_NE(window, nullptr);
    const RECT frame = Frame(window);
    HMONITOR monitor = MonitorFromRect(&frame, MONITOR_DEFAULTTONULL);
    EXPECT_NE(monitor, nullptr) << "the window is off every monitor at " << frame.left << "," << frame.top;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromRect(&frame, MONITOR_DEFAULTTONEAREST), &info));
    EXPECT_GE(2500, info.rcMonitor.right) << "the desktop is wider than the case assumes";
    EXPECT_EQ(frame.right, info.rcWork.right);
    EXPECT_EQ(frame.top, 140);
    Close(window, process);
    EXPECT_THAT(ReadFile(Dir / "app" / "settings.ini"),
                ::testing::HasSubstr("Line1='  Left = " + std::to_string(frame.left) + "'\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Dpi, WindowAtDensity, ::testing::Values(96, 120, 144, 192),
                         [](const ::testing::TestParamInfo<int>& info) { return std::to_string(info.param); });

} // namespace
