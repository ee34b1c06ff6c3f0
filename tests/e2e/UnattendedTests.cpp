// The built program run the way schedulers run it on POSIX: cron, a system timer or an ssh session give it
// no display, no toolkit platform and often no runtime folder, and read only its exit code and what it
// prints.

#include "e2e/TestProgramFolder.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace pardova::e2e;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kStartLine = "start Pardova, 1.0 - - - - - - - - - - - - - - - - - - - - -";

class Unattended : public ProgramFolder {
protected:
    Unattended() : ProgramFolder("pardova-cron", "60") {}

    void SetUp() override {
        ProgramFolder::SetUp();
        MakeSmallA();
    }

    struct Outcome {
        int ExitCode = -1;
        std::string Out;
        std::string Err;
        std::chrono::steady_clock::duration Took{};
    };

    // Runs the shipped program from its folder with the environment a cron job gets: the given DISPLAY
    // (none when empty), no WAYLAND_DISPLAY, QT_QPA_PLATFORM or XDG_RUNTIME_DIR; standard output and error
    // go to files.
    Outcome RunAsScheduled(const std::vector<std::string>& arguments, const std::string& display = "") {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            bool dropped = false;
            for (const char* name : {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "XDG_RUNTIME_DIR="}) {
                dropped = dropped || text.rfind(name, 0) == 0;
            }
            if (!dropped) {
                environment.push_back(text);
            }
        }
        if (!display.empty()) {
            environment.push_back("DISPLAY=" + display);
        }
        std::vector<std::string> command = {"timeout", "-s", "KILL", "60", Executable.string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const fs::path out = Dir / "stdout.txt";
        const fs::path err = Dir / "stderr.txt";
        const auto started = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0) {
            setpgid(0, 0);
            const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int nullFd = open("/dev/null", O_RDONLY);
            if (outFd < 0 || errFd < 0 || nullFd < 0 || chdir((Dir / "app").c_str()) != 0) {
                _exit(126);
            }
            dup2(nullFd, STDIN_FILENO);
            dup2(outFd, STDOUT_FILENO);
            dup2(errFd, STDERR_FILENO);
            std::vector<char*> argv;
            for (auto& part : command) {
                argv.push_back(part.data());
            }
            argv.push_back(nullptr);
            std::vector<char*> envp;
            for (auto& part : environment) {
                envp.push_back(part.data());
            }
            envp.push_back(nullptr);
            execvpe(argv[0], argv.data(), envp.data());
            _exit(127);
        }
        Outcome outcome;
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        outcome.Took = std::chrono::steady_clock::now() - started;
        outcome.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.Out = ReadFile(out);
        outcome.Err = ReadFile(err);
        return outcome;
    }
};

TEST_F(Unattended, AGoodPassWithoutADisplayMirrorsPrintsNothingAndExitsWithZero) {
    const fs::path B = Dir / "B";
    SaveFields((Dir / "A").string(), B.string());
    const Outcome run = RunAsScheduled({"/s"});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(ReadFile(B / "f.txt"), "payload");
    EXPECT_EQ(ReadFile(B / "sub" / "g.txt"), "more");
    EXPECT_TRUE(fs::is_directory(B / "sub" / "empty"));
    const auto texts = LogTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.front(), kStartLine);
    EXPECT_EQ(texts.back(), "finish");
    EXPECT_EQ(ReadFile(Dir / "app" / "settings.ini"), SettingsWithFields((Dir / "A").string(), B.string()));
}

// The window's saved place lies where the display-less platform's screen has room for it, but a smaller
// screen would not: restored and saved again, it stays as it was.
TEST_F(Unattended, AGoodPassWithoutADisplayKeepsTheWindowsSavedPlace) {
    const std::string saved = SettingsWithFields((Dir / "A").string(), (Dir / "B").string(), 500, 400);
    WriteFile(Dir / "app" / "settings.ini", saved);
    const Outcome run = RunAsScheduled({"/s"});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(ReadFile(Dir / "app" / "settings.ini"), saved);
}

TEST_F(Unattended, AFailedPassThatNobodyCanSeeSaysWhyOnStandardErrorAndExitsWithOne) {
    // No display at all, and a display named whose server is not there.
    for (const std::string& display : {std::string(), std::string(":") + std::to_string(30000 + getpid() % 9999)}) {
        const std::string A = (Dir / "nosuch").string();
        SaveFields(A, (Dir / "B").string());
        fs::remove(Dir / "app" / "log.txt");
        const Outcome run = RunAsScheduled({"/s"}, display);
        EXPECT_EQ(run.ExitCode, 1) << display;
        // The box's text with its rule for the full stop, after the caption.
        EXPECT_EQ(run.Err, "pardova: Папка не найдена\r" + A + ".\n") << display;
        EXPECT_EQ(run.Out, "");
        EXPECT_LT(run.Took, std::chrono::seconds(20)) << display;
        // The shutdown it always goes through: the fields saved again and the closing line written.
        EXPECT_THAT(LogTexts(), ElementsAre(kStartLine, "finish")) << display;
        EXPECT_EQ(ReadFile(Dir / "app" / "settings.ini"), SettingsWithFields(A, (Dir / "B").string()));
        EXPECT_FALSE(fs::exists(Dir / "B"));
    }
}

TEST_F(Unattended, AnInteractiveStartWithoutADisplaySaysSoAndEndsWithoutAnAbort) {
    SaveFields((Dir / "A").string(), (Dir / "B").string());
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, std::vector<std::string>{"x", "/s"}}) {
        const Outcome run = RunAsScheduled(arguments);
        EXPECT_EQ(run.ExitCode, 1) << ::testing::PrintToString(arguments);
        EXPECT_THAT(run.Err, HasSubstr("no display"));
        EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
        EXPECT_FALSE(fs::exists(Dir / "B"));
    }
    // Nothing of the program ran: no log line.
    EXPECT_FALSE(fs::exists(Dir / "app" / "log.txt"));
}

} // namespace
