// The built program run the way schedulers run it on POSIX: cron, a system timer or an ssh session give it
// no display, no toolkit platform and often no runtime folder, and read only its exit code and what it
// prints.

#include "e2e/TestProgramFolder.h"

#include "app/core/TestDeepTree.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/stat.h>
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
    // `limits` go first on the command line (prlimit and its options, say).
    Outcome RunAsScheduled(const std::vector<std::string>& arguments, const std::string& display = "",
                           const std::vector<std::string>& limits = {}) {
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
        std::vector<std::string> command = limits;
        for (const std::string part : {"timeout", "-s", "KILL", "60"}) {
            command.push_back(part);
        }
        command.push_back(Executable.string());
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

// A pass without a display shows its window on no monitor of the user's: whatever place the window was
// saved at on the user's desktop (on a wide or a second monitor, left of the first one, far beyond it),
// restored and saved again, it stays as it was, on a successful pass and on a failed one.
TEST_F(Unattended, APassWithoutADisplayKeepsTheWindowsSavedPlace) {
    const struct {
        int Left;
        int Top;
    } places[] = {{500, 400}, {1500, 900}, {2200, 1300}, {-1200, 40}, {40, -700}, {7000, 5000}};
    for (const auto& place : places) {
        SCOPED_TRACE(std::to_string(place.Left) + "," + std::to_string(place.Top));
        for (const std::string& A : {(Dir / "A").string(), (Dir / "nosuch").string()}) {
            const std::string saved = SettingsWithFields(A, (Dir / "B").string(), place.Left, place.Top);
            WriteFile(Dir / "app" / "settings.ini", saved);
            const Outcome run = RunAsScheduled({"/s"});
            EXPECT_EQ(run.ExitCode, A == (Dir / "A").string() ? 0 : 1) << A;
            EXPECT_EQ(ReadFile(Dir / "app" / "settings.ini"), saved) << A;
        }
    }
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

// A tree deeper than the walk could once go: at three descriptors a level the usual hard limit of 1,024
// open files ran out at about 340 levels (the bottom of A neither copied nor logged, and the pass still
// exited with 0), and at one call a level a 1 MiB stack at about 2,200.
TEST_F(Unattended, ATreeDeeperThanTheOpenFileLimitAndTheStackAllowedIsMirroredToItsBottom) {
    struct Case {
        const char* What;
        int Depth;
        std::vector<std::string> Limits;
    };
    const Case cases[] = {
        {"400 levels, hard limit of 1,024 open files", 400, {"prlimit", "--nofile=1024:1024", "--"}},
        {"3,000 levels, the same and a 1 MiB stack",
         3000,
         {"prlimit", "--nofile=1024:1024", "--stack=1048576:1048576", "--"}},
    };
    // In memory where the system has it: removing thousands of levels from a disk is slow.
    char memory[] = "/dev/shm/pardova-e2e-XXXXXX";
    const bool inMemory = ::mkdtemp(memory) != nullptr;
    const std::string root = inMemory ? std::string(memory) : Dir.string();
    const std::string A = root + "/deepA";
    const std::string B = root + "/deepB";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        for (const std::string& folder : {A, B}) {
            pardova::testing::RemoveTreeContent(folder);
            ::rmdir(folder.c_str());
        }
        ASSERT_EQ(::mkdir(A.c_str(), 0755), 0);
        const auto hasFile = [&c](int level) { return level % 50 == 0 || level == c.Depth - 1; };
        pardova::testing::MakeChain(A, c.Depth, "d", hasFile);
        SaveFields(A, B);
        fs::remove(Dir / "app" / "log.txt");
        const Outcome run = RunAsScheduled({"/s"}, "", c.Limits);
        EXPECT_EQ(run.ExitCode, 0);
        EXPECT_EQ(run.Err, "");
        // The log of the shallower tree is read whole; the deeper one's rotates, so its end is read.
        const std::vector<std::string> texts = LogTexts();
        ASSERT_GE(texts.size(), 2u);
        EXPECT_EQ(texts.back(), "finish");
        if (c.Depth < 1000) {
            std::vector<std::string> expected = pardova::testing::FirstPassLinesOf(A, B);
            expected.insert(expected.begin(), {kStartLine, "Папка не найдена, создаю " + B});
            expected.push_back("finish");
            EXPECT_TRUE(texts == expected) << "the log differs from the tree's own order";
        } else {
            // The deepest copy line, in whichever of the rotated files it landed.
            std::string bottom = B;
            for (int level = 0; level < c.Depth; ++level) {
                bottom += "/d";
            }
            const std::string line = " | Info |   копирую -> " + bottom + "/f\r\n";
            bool found = false;
            for (const auto& entry : fs::directory_iterator(Dir / "app")) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("log", 0) == 0 && entry.path().extension() == ".txt") {
                    found = found || ReadFile(entry.path()).find(line) != std::string::npos;
                }
            }
            EXPECT_TRUE(found) << "the bottom's copy line is in none of the log files";
        }
        // Level by level: every folder is there, each file with its bytes.
        pardova::testing::HeldFd b(::open(B.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        for (int level = 0; level < c.Depth; ++level) {
            b = pardova::testing::OpenFolderAt(b.Get(), "d");
            ASSERT_TRUE(b) << "level " << level << " is missing in B";
            if (hasFile(level)) {
                EXPECT_EQ(pardova::testing::ReadFileAt(b.Get(), "f"), std::to_string(level));
            }
        }
    }
    for (const std::string& folder : {A, B}) {
        pardova::testing::RemoveTreeContent(folder);
        ::rmdir(folder.c_str());
    }
    if (inMemory) {
        ::rmdir(memory);
    }
}

} // namespace
