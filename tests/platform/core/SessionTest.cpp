#include "platform/core/Session.h"

#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace pardova::platform {
namespace {

#ifndef _WIN32

// A listening local socket, by path or (a name that begins with NUL) in the abstract namespace.
class ListeningSocket {
public:
    explicit ListeningSocket(const std::string& name) : FName(name) {
        FFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        EXPECT_EQ(::bind(FFd, reinterpret_cast<sockaddr*>(&address), length), 0) << std::strerror(errno);
        EXPECT_EQ(::listen(FFd, 4), 0);
    }
    ~ListeningSocket() {
        ::close(FFd);
        if (!FName.empty() && FName[0] != '\0') {
            ::unlink(FName.c_str());
        }
    }

private:
    std::string FName;
    int FFd = -1;
};

// A display number that no X server of this machine uses, with an abstract socket of that name listening.
int FreeDisplayNumber() { return 40000 + static_cast<int>(::getpid() % 20000); }

TEST(SessionTest, NoDisplayNamedMeansNobodyCanSee) {
    EXPECT_FALSE(DisplayReachable({}));
    EXPECT_FALSE(DisplayReachable({"", "", "/tmp"}));
}

TEST(SessionTest, AnX11DisplayCountsOnlyWhenItsServerAnswers) {
    const std::string number = std::to_string(FreeDisplayNumber());
    // Nothing listens yet.
    EXPECT_FALSE(DisplayReachable({":" + number, "", ""}));
    const ListeningSocket server(std::string(1, '\0') + "/tmp/.X11-unix/X" + number);
    for (const std::string& display : {":" + number, ":" + number + ".0", "unix:" + number}) {
        EXPECT_TRUE(DisplayReachable({display, "", ""})) << display;
    }
    // Names that are no display at all.
    for (const std::string& display : {std::string("garbage"), std::string(":"), std::string(":x1"),
                                       std::string(":") + number + "x", std::string("nosuchhost.invalid:0")}) {
        EXPECT_FALSE(DisplayReachable({display, "", ""})) << display;
    }
}

TEST(SessionTest, AnX11DisplayOverTcpCountsWhenItsPortAnswers) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int port = 0;
    // The first free port of the X range above the usual displays.
    for (port = 6000 + 200; port < 6000 + 400; ++port) {
        address.sin_port = htons(static_cast<uint16_t>(port));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            break;
        }
    }
    ASSERT_LT(port, 6400);
    const std::string display = "127.0.0.1:" + std::to_string(port - 6000);
    // Bound but not listening: the connection is refused.
    EXPECT_FALSE(DisplayReachable({display, "", ""}));
    ASSERT_EQ(::listen(fd, 4), 0);
    EXPECT_TRUE(DisplayReachable({display, "", ""}));
    ::close(fd);
}

TEST(SessionTest, AWaylandDisplayCountsWhenItsSocketAnswers) {
    char pattern[] = "/tmp/pardova-session-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string runtime = pattern;
    EXPECT_FALSE(DisplayReachable({"", "wayland-7", runtime}));
    {
        const ListeningSocket compositor(runtime + "/wayland-7");
        EXPECT_TRUE(DisplayReachable({"", "wayland-7", runtime}));
        EXPECT_TRUE(DisplayReachable({"", runtime + "/wayland-7", ""}));
        // A name relative to a runtime folder that is not given leads nowhere.
        EXPECT_FALSE(DisplayReachable({"", "wayland-7", ""}));
        EXPECT_FALSE(DisplayReachable({"", "wayland-8", runtime}));
    }
    // The compositor is gone; its socket file with it.
    EXPECT_FALSE(DisplayReachable({"", "wayland-7", runtime}));
    ::rmdir(runtime.c_str());
}

TEST(SessionTest, AnUnattendedFailureIsOneLineOnStandardError) {
    std::fflush(stderr);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(pipeFds[1], STDERR_FILENO);
    ReportUnattendedFailure("pardova", "Папка не найдена\r/nosuch.");
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(pipeFds[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    EXPECT_EQ(text, "pardova: Папка не найдена\r/nosuch.\n");
}

#else

TEST(SessionTest, TheInteractiveWindowStationIsVisible) {
    EXPECT_TRUE(IsVisibleWindowStation(GetProcessWindowStation()));
    EXPECT_TRUE(UserCanSeeWindows());
}

TEST(SessionTest, AWindowStationOfItsOwnIsNotVisible) {
    // What a task that runs whether or not a user is logged on, or a service, gets: a window station that
    // no user's screen shows.
    const std::wstring name = L"PardovaTest" + std::to_wstring(GetCurrentProcessId());
    HWINSTA station = CreateWindowStationW(name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(station, nullptr) << GetLastError();
    EXPECT_FALSE(IsVisibleWindowStation(station));
    CloseWindowStation(station);
}

#endif

} // namespace
} // namespace pardova::platform
