// pardova.exe on Windows, driven from outside as a user meets it: the failure box is the system's own
// message box, found among the program's windows, read back and answered through its OK button; the main
// window is closed through its frame's close request; its fields come back at the next start.

#include "e2e/TestProgramFolder.h"
#include "support/TestWin32Windows.h"

#include <gmock/gmock.h>

#include <windows.h>

#include <winver.h>

#include <chrono>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using namespace pardova::e2e;
using pardova::testing::ChildWindows;
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

class WindowsProgram : public ProgramFolder {
protected:
    WindowsProgram() : ProgramFolder("pw", "60") {}

    void SetUp() override {
        ProgramFolder::SetUp();
        MakeSmallA();
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
    for (HWND child : ChildWindows(box)) {
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

// The resources of the built program, read as Explorer and the system read them: the icon group at every
// size, the version information and the application manifest.
class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        FModule =
            LoadLibraryExW(Executable().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(FModule, nullptr) << "cannot load " << PARDOVA_EXECUTABLE << ": " << GetLastError();
    }
    void TearDown() override {
        if (FModule != nullptr) {
            FreeLibrary(FModule);
        }
    }

    static std::wstring Executable() { return fs::u8path(PARDOVA_EXECUTABLE).wstring(); }

    // The bytes of a resource; empty when there is none.
    std::string Resource(LPCWSTR name, LPCWSTR type) const {
        HRSRC found = FindResourceW(FModule, name, type);
        if (found == nullptr) {
            return {};
        }
        HGLOBAL loaded = LoadResource(FModule, found);
        const auto* data = static_cast<const char*>(LockResource(loaded));
        return data == nullptr ? std::string() : std::string(data, SizeofResource(FModule, found));
    }

    HMODULE FModule = nullptr;
};

TEST_F(ProgramResources, TheIconGroupHoldsEverySizeFrom16To256) {
    const std::string group = Resource(L"IDI_ICON1", RT_GROUP_ICON);
    ASSERT_GE(group.size(), 6u) << "no icon group IDI_ICON1";
    const auto word = [&](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(group[at]) | static_cast<unsigned char>(group[at + 1])
                                                                                 << 8);
    };
    // The group's header (reserved, type 1 for icons, count), then 14 bytes for each image.
    EXPECT_EQ(word(2), 1u);
    const unsigned count = word(4);
    ASSERT_EQ(group.size(), 6 + 14 * size_t{count});
    std::vector<int> sizes;
    for (unsigned i = 0; i < count; ++i) {
        const size_t entry = 6 + 14 * size_t{i};
        const int width = static_cast<unsigned char>(group[entry]);
        const int height = static_cast<unsigned char>(group[entry + 1]);
        EXPECT_EQ(width, height);
        EXPECT_EQ(word(entry + 6), 32u) << "colour depth of image " << i;
        // 0 stands for 256.
        sizes.push_back(width == 0 ? 256 : width);
        const std::string image = Resource(MAKEINTRESOURCEW(word(entry + 12)), RT_ICON);
        EXPECT_FALSE(image.empty()) << "the image of size " << sizes.back() << " is missing";
    }
    EXPECT_THAT(sizes, ElementsAre(16, 24, 32, 48, 64, 128, 256));
    // Loaded as the system loads a window's icon.
    for (int size : {16, 32, 48, 256}) {
        HANDLE icon = LoadImageW(FModule, L"IDI_ICON1", IMAGE_ICON, size, size, 0);
        EXPECT_NE(icon, nullptr) << "size " << size;
        if (icon != nullptr) {
            DestroyIcon(static_cast<HICON>(icon));
        }
    }
}

TEST_F(ProgramResources, TheVersionInformationNamesPardovaAndItsVersion) {
    const std::wstring path = Executable();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version information";
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(PARDOVA_VERSION_MINOR, PARDOVA_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    struct Translation {
        WORD Language, CodePage;
    }* translations = nullptr;
    ASSERT_TRUE(
        VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length));
    ASSERT_GE(length, sizeof(Translation));
    wchar_t prefix[64];
    swprintf(prefix, 64, L"\\StringFileInfo\\%04x%04x\\", translations->Language, translations->CodePage);
    const auto value = [&](const std::wstring& name) {
        wchar_t* text = nullptr;
        UINT chars = 0;
        if (!VerQueryValueW(block.data(), (prefix + name).c_str(), reinterpret_cast<void**>(&text), &chars) ||
            text == nullptr) {
            return std::string("(none)");
        }
        return Utf8(std::wstring(text, wcsnlen(text, chars)));
    };
    const std::string version = PARDOVA_VERSION;
    EXPECT_EQ(value(L"ProductName"), "Pardova");
    EXPECT_EQ(value(L"ProductVersion"), version);
    EXPECT_EQ(value(L"FileVersion").rfind(version + ".", 0), 0u) << value(L"FileVersion");
    EXPECT_EQ(value(L"OriginalFilename"), "pardova.exe");
    for (const wchar_t* name : {L"FileDescription", L"CompanyName", L"LegalCopyright"}) {
        const std::string text = value(name);
        EXPECT_TRUE(text != "(none)" && !text.empty()) << Utf8(name) << " is missing";
    }
}

TEST_F(ProgramResources, TheManifestAsksForCommonControls6PerMonitorV2LongPathsAndNoElevation) {
    const std::string manifest = Resource(MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_FALSE(manifest.empty()) << "no application manifest";
    // Each entry as one piece of text, whitespace between attributes aside.
    const auto normalised = [](std::string text) {
        std::string out;
        for (char c : text) {
            const bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
            if (!(space && (out.empty() || out.back() == ' '))) {
                out += space ? ' ' : c;
            }
        }
        return out;
    }(manifest);
    for (const char* entry :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "publicKeyToken=\"6595b64144ccf1df\"",
          ">PerMonitorV2", ">true/pm</dpiAware>", ">true</longPathAware>",
          // Windows 10 and 11.
          "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",
          "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"}) {
        EXPECT_NE(normalised.find(entry), std::string::npos) << entry << "\nin\n" << manifest;
    }
}

} // namespace
