// The built program, started in a folder of its own as a scheduled task or a user would start it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

const std::string kStartLine = "start Pardova, 1.0 - - - - - - - - - - - - - - - - - - - - -";
// A run that never ends (a failure box waiting for a user) is killed after this many seconds.
const char* const kGuardSeconds = "60";
constexpr int kKilledByGuard = 128 + 9;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/pardova-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Dir = pattern;
        fs::create_directories(Dir / "app");
        Executable = Dir / "app" / "pardova";
        fs::copy_file(PARDOVA_EXECUTABLE, Executable);
        fs::create_directories(Dir / "A" / "sub" / "empty");
        WriteFile(Dir / "A" / "f.txt", "payload");
        WriteFile(Dir / "A" / "sub" / "g.txt", "more");
    }

    void TearDown() override { fs::remove_all(Dir); }

    // Runs the program from the temporary folder with the arguments; closeWhenIdle asks it to close its
    // window as a user would once the window stands open and idle. Gives the exit code, or kKilledByGuard.
    int Run(const std::vector<std::string>& arguments, bool closeWhenIdle) {
        std::vector<std::string> command = {"timeout", "-s", "KILL", kGuardSeconds, Executable.string()};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const pid_t child = fork();
        if (child == 0) {
            if (chdir(Dir.c_str()) != 0) {
                _exit(126);
            }
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            if (closeWhenIdle) {
                setenv("PARDOVA_TEST_CLOSE_WHEN_IDLE", "1", 1);
            } else {
                unsetenv("PARDOVA_TEST_CLOSE_WHEN_IDLE");
            }
            std::vector<char*> argv;
            for (auto& part : command) {
                argv.push_back(part.data());
            }
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The event texts of the program's log.txt, in order.
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

    // Saved fields for the next start, in the settings file's own form.
    void SaveFields(const std::string& A, const std::string& B) {
        WriteFile(Dir / "app" / "settings.ini",
                  "[TMainForm]\r\n"
                  "Line0='object MainForm: TMainForm'\r\n"
                  "Line1='  Left = 100'\r\n"
                  "Line2='  Top = 120'\r\n"
                  "Line3='  object CheckBox1: TsCheckBox'\r\n"
                  "Line4='    Checked = False'\r\n"
                  "Line5='  end'\r\n"
                  "Line6='  object DirEdit1: TsDirectoryEdit'\r\n"
                  "Line7='    Text = '" + A + "''\r\n"
                  "Line8='  end'\r\n"
                  "Line9='  object DirEdit2: TsDirectoryEdit'\r\n"
                  "Line10='    Text = '" + B + "''\r\n"
                  "Line11='  end'\r\n"
                  "Line12='  object ExeEdit: TsFilenameEdit'\r\n"
                  "Line13='    Text = '''\r\n"
                  "Line14='  end'\r\n"
                  "Line15='end'\r\n"
                  "\r\n"
                  "\r\n");
    }

    // Whether this build keeps its fields in settings.ini: an interactive start and close writes it.
    bool KeepsSettings() {
        const int code = Run({}, true);
        EXPECT_EQ(code, 0);
        const bool kept = fs::exists(Dir / "app" / "settings.ini");
        fs::remove(Dir / "app" / "settings.ini");
        fs::remove(Dir / "app" / "log.txt");
        return kept;
    }

    fs::path Dir;
    fs::path Executable;
};

TEST_F(Program, WithoutTheSwitchInFirstPlaceItStaysOpenUntilClosed) {
    const std::vector<std::vector<std::string>> cases = {{}, {"x", "/s"}, {"/sx"}, {"s"}};
    for (const auto& arguments : cases) {
        fs::remove(Dir / "app" / "log.txt");
        // A silent run here would fail on the empty fields and wait on its failure box until the guard.
        EXPECT_EQ(Run(arguments, true), 0) << ::testing::PrintToString(arguments);
        EXPECT_THAT(LogTexts(), ElementsAre(kStartLine, "finish")) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(fs::exists(Dir / "B"));
    }
}

TEST_F(Program, TheSwitchInAnyCaseRunsOnePassWithTheSavedFieldsAndExitsWithZero) {
    if (!KeepsSettings()) {
        GTEST_SKIP() << "this build does not keep its fields in settings.ini, so a silent pass has no folders";
    }
    for (const char* silent : {"/s", "/S"}) {
        const fs::path B = Dir / (std::string("B") + (silent[1] == 's' ? "lower" : "upper"));
        SaveFields((Dir / "A").string(), B.string());
        fs::remove(Dir / "app" / "log.txt");
        // No one closes the window: the process must end by itself.
        ASSERT_EQ(Run({silent}, false), 0) << silent;
        EXPECT_EQ(ReadFile(B / "f.txt"), "payload");
        EXPECT_EQ(ReadFile(B / "sub" / "g.txt"), "more");
        EXPECT_TRUE(fs::is_directory(B / "sub" / "empty"));
        const auto texts = LogTexts();
        ASSERT_GE(texts.size(), 4u);
        EXPECT_EQ(texts.front(), kStartLine);
        EXPECT_EQ(texts[1], "Папка не найдена, создаю " + B.string());
        EXPECT_NE(std::find(texts.begin(), texts.end(), "  копирую -> " + (B / "f.txt").string()), texts.end());
        EXPECT_EQ(texts.back(), "finish");
        // The silent exit saves the fields again.
        EXPECT_NE(ReadFile(Dir / "app" / "settings.ini").find(B.string()), std::string::npos);
    }
}

} // namespace
