// The built program under abuse: a silent pass killed outright while it copies large files, again and
// again, and a start with a hostile settings.ini. A killed pass may leave B behind A, but never with a file
// that a later pass takes as up to date; the next whole pass makes B identical to A. A settings file of
// any shape never crashes the program and never keeps its window from opening.

#include "e2e/TestProgramFolder.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace pardova::e2e;

const std::string kCopy = "  копирую -> ";

// Distinct bytes per seed, so that a copy landing in the wrong file or at the wrong offset shows.
std::string Bytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

struct FileState {
    uintmax_t Size = 0;
    int64_t Seconds = 0;
    int64_t Nanoseconds = 0;
    bool operator==(const FileState&) const = default;
};

FileState StateOf(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    return {static_cast<uintmax_t>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

// Every path below the root, relative, folders marked with a final "/".
std::vector<std::string> Names(const fs::path& root) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string name = entry.path().lexically_relative(root).string();
        names.push_back(entry.is_directory() ? name + "/" : name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ProgramStress : public ProgramFolder {
protected:
    ProgramStress() : ProgramFolder("pardova-stress", "120") {}

    void TearDown() override {
        ProgramFolder::TearDown();
        if (!OtherDevice.empty()) {
            pardova::testing::RemoveTestFolder(OtherDevice);
        }
    }

    // A folder on another file system than the temporary folder's where the machine has one in memory:
    // copies between file systems go through the program's own read and write loop, which a kill can cut
    // at any point, rather than through one call of the kernel's. Else a folder beside the others.
    fs::path FolderOnAnotherDevice() {
        struct stat shm {};
        struct stat tmp {};
        char pattern[] = "/dev/shm/pardova-stress-XXXXXX";
        if (::stat("/dev/shm", &shm) == 0 && ::stat(Dir.c_str(), &tmp) == 0 && shm.st_dev != tmp.st_dev &&
            mkdtemp(pattern) != nullptr) {
            OtherDevice = pattern;
            return OtherDevice;
        }
        return Dir;
    }

    // Watches a running program until the condition holds, then kills it outright. False when the program
    // ended first (its code in *code).
    static bool KillWhen(pid_t child, const std::function<bool()>& condition, int* code) {
        for (;;) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                *code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return false;
            }
            if (condition()) {
                ::kill(-child, SIGKILL);
                *code = Wait(child);
                return true;
            }
            std::this_thread::yield();
        }
    }

    // The destinations of the copy lines the log holds past the given offset, in order.
    std::vector<std::string> CopiesSince(size_t offset) const {
        const std::string text = ReadFile(Dir / "app" / "log.txt");
        std::vector<std::string> copies;
        size_t at = offset;
        while ((at = text.find(kCopy, at)) != std::string::npos) {
            const size_t end = text.find("\r\n", at);
            if (end == std::string::npos) {
                break;
            }
            copies.push_back(text.substr(at + kCopy.size(), end - at - kCopy.size()));
            at = end;
        }
        return copies;
    }

    size_t LogSize() const {
        std::error_code ec;
        const auto size = fs::file_size(Dir / "app" / "log.txt", ec);
        return ec ? 0 : static_cast<size_t>(size);
    }

    fs::path OtherDevice;
};

TEST_F(ProgramStress, ASilentPassKilledWhileCopyingNeverLeavesAFileThatPassesForCurrent) {
    const fs::path A = Dir / "A";
    const fs::path B = FolderOnAnotherDevice() / "B";
    fs::create_directories(A / "sub");
    constexpr size_t kBig = 8u << 20;
    constexpr uint32_t kBigFiles = 12;
    std::vector<fs::path> bigFiles;
    for (uint32_t i = 0; i < kBigFiles; ++i) {
        const fs::path file = (i % 2 == 0 ? A : A / "sub") / ("big" + std::to_string(i) + ".bin");
        WriteFile(file, Bytes(kBig + i * 4099, i + 1));
        bigFiles.push_back(file);
    }
    WriteFile(A / "small.txt", "small");
    fs::create_directories(A / "empty");
    // B already holds an older copy of one big file: a killed pass must not leave it looking current.
    fs::create_directories(B / "sub");
    WriteFile(B / "sub" / "big1.bin", Bytes(kBig + 4099, 99));
    fs::last_write_time(B / "sub" / "big1.bin", fs::last_write_time(A / "sub" / "big1.bin") - std::chrono::hours(1));
    SaveFields(A.string(), B.string());

    // After each kill: any file of B with A's size and time must hold A's bytes.
    const auto expectNothingPassesForCurrent = [&](int round) {
        for (const std::string& name : Names(A)) {
            if (name.back() == '/' || !fs::exists(B / name)) {
                continue;
            }
            if (StateOf(B / name) == StateOf(A / name)) {
                EXPECT_EQ(ReadFile(B / name) == ReadFile(A / name), true)
                    << name << " passes for current with other bytes after kill " << round;
            }
        }
    };

    // Deterministic kill points: the n-th file this pass writes into B (under its own name or a temporary
    // one) is there and holds at least the given share of a big file's bytes (0: as soon as it is there), or
    // the pass has already gone on to a later one. B is watched rather than the log: the log's lines of
    // copies still waiting for their flush reach the file only with that flush. A file being written has
    // this pass's time; a finished one has its source's, which is older.
    struct KillPoint {
        size_t Copy;
        double Share;
    };
    const std::vector<KillPoint> points = {{1, 0.0}, {1, 0.25}, {2, 0.5}, {1, 0.0}, {2, 0.75}, {3, 0.1}};
    int killed = 0;
    for (size_t round = 0; round < points.size(); ++round) {
        const KillPoint point = points[round];
        const auto passStart = fs::file_time_type::clock::now() - std::chrono::milliseconds(1);
        std::vector<fs::path> seen; // the files being written, in the order they appeared
        const pid_t child = Start({"/s"}, false);
        int code = -1;
        const bool wasKilled = KillWhen(
            child,
            [&] {
                std::error_code ec;
                for (auto it = fs::recursive_directory_iterator(B, ec); !ec && it != fs::recursive_directory_iterator();
                     it.increment(ec)) {
                    std::error_code statEc;
                    if (it->is_regular_file(statEc) && fs::last_write_time(it->path(), statEc) >= passStart &&
                        !statEc && std::find(seen.begin(), seen.end(), it->path()) == seen.end()) {
                        seen.push_back(it->path());
                    }
                }
                if (seen.size() != point.Copy) {
                    return seen.size() > point.Copy;
                }
                const auto size = fs::file_size(seen.back(), ec);
                return point.Share == 0.0 || (!ec && static_cast<double>(size) >= point.Share * kBig);
            },
            &code);
        if (wasKilled) {
            ++killed;
        } else {
            // Ended before the kill point (nothing left to copy so far in): it must have ended well.
            ASSERT_EQ(code, 0) << "round " << round;
        }
        expectNothingPassesForCurrent(static_cast<int>(round));
    }
    EXPECT_GE(killed, 4) << "too few passes were cut short to show anything";

    ASSERT_EQ(Run({"/s"}, false), 0);
    ASSERT_EQ(Names(B), Names(A));
    for (const std::string& name : Names(A)) {
        if (name.back() == '/') {
            continue;
        }
        EXPECT_EQ(StateOf(B / name), StateOf(A / name)) << name;
        EXPECT_TRUE(ReadFile(B / name) == ReadFile(A / name)) << name;
    }
    // A itself is as it was made.
    for (uint32_t i = 0; i < bigFiles.size(); ++i) {
        EXPECT_TRUE(ReadFile(bigFiles[i]) == Bytes(kBig + i * 4099, i + 1)) << bigFiles[i];
    }
}

// Anything that lists another process's open files (ls -l /proc/PID/fd, lsof, a monitoring agent) holds a
// reference to each of them for a moment. A pass writes a log line per entry, each through a file opened
// for that line alone: such a reader beside it must never make a line's open fail.
TEST_F(ProgramStress, APassWithAnOpenFileListerBesideItCompletes) {
    const fs::path A = Dir / "A";
    const fs::path B = Dir / "B";
    constexpr int kFolders = 100;
    constexpr int kFilesPerFolder = 1000;
    for (int f = 0; f < kFolders; ++f) {
        const fs::path folder = A / ("d" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            std::ofstream(folder / std::to_string(i));
        }
    }
    fs::create_directories(B);
    SaveFields(A.string(), B.string());

    for (int pass = 0; pass < 2; ++pass) {
        fs::remove(Dir / "app" / "log.txt");
        const pid_t child = Start({"/s"}, false);
        std::atomic<bool> done{false};
        std::thread lister([&] {
            const fs::path fds = fs::path("/proc") / std::to_string(child) / "fd";
            char target[4096];
            while (!done.load()) {
                std::error_code ec;
                for (fs::directory_iterator it(fds, ec), end; !ec && it != end; it.increment(ec)) {
                    (void)!::readlink(it->path().c_str(), target, sizeof target);
                }
            }
        });
        const int code = Wait(child);
        done = true;
        lister.join();
        ASSERT_EQ(code, 0) << "pass " << pass;
        const std::string log = ReadFile(Dir / "app" / "log.txt");
        EXPECT_NE(log.find("| Info | finish\r\n"), std::string::npos) << "pass " << pass;
    }
    EXPECT_EQ(Names(B), Names(A));
}

// A settings.ini of the given bytes; the program must open its window and close as usual.
struct HostileCase {
    const char* Name;
    std::function<std::string()> Content;
};

const std::string kValidHead = "[TMainForm]\r\nLine0='object MainForm: TMainForm'\r\nLine1='  Left = 100'\r\n";

std::string Lines(const std::vector<std::string>& values) {
    std::string text = "[TMainForm]\r\n";
    for (size_t i = 0; i < values.size(); ++i) {
        text += "Line" + std::to_string(i) + "='" + values[i] + "'\r\n";
    }
    return text + "\r\n";
}

const std::vector<HostileCase>& HostileCases() {
    static const std::vector<HostileCase> cases = {
        {"Binary", [] { return Bytes(256 * 1024, 7); }},
        {"Truncated", [] { return kValidHead + "Line2='  object CheckBox1: TsChe"; }},
        {"UnendedObject",
         [] {
             return Lines({"object MainForm: TMainForm", "  Left = 100", "  object X: TsCheckBox"});
         }},
        {"DeeplyNested",
         [] {
             std::vector<std::string> values;
             for (int i = 0; i < 20000; ++i) {
                 values.push_back("object O" + std::to_string(i) + ": TMainForm");
             }
             for (int i = 0; i < 20000; ++i) {
                 values.push_back("end");
             }
             return Lines(values);
         }},
        {"AMegabyteLine",
         [] {
             return Lines({"object MainForm: TMainForm", "  object DirEdit1: TsDirectoryEdit",
                           "    Text = '" + std::string(1 << 20, 'x') + "'", "  end", "end"});
         }},
        {"AMegabyteLineOutsideTheValue", [] { return kValidHead + std::string(1 << 20, '[') + "\r\n"; }},
        {"Huge",
         [] {
             std::string text;
             for (int i = 0; i < 200000; ++i) {
                 text += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
             }
             return text + Lines({"object MainForm: TMainForm", "  Left = 100", "end"});
         }},
        {"WrongTypes",
         [] {
             return Lines({"object MainForm: TMainForm", "  Left = 'text'", "  Top = 1e999999",
                           "  object CheckBox1: TsCheckBox", "    Checked = 12", "  end",
                           "  object DirEdit1: TsDirectoryEdit", "    Text = (1 2 3)", "  end", "end"});
         }},
        {"Utf16WithoutText", [] { return std::string("\xFF\xFE", 2) + std::string(1001, '\0'); }},
    };
    return cases;
}

TEST_F(ProgramStress, AHostileSettingsFileNeverCrashesOrBlocksTheStart) {
    for (const HostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.Name);
        WriteFile(Dir / "app" / "settings.ini", c.Content());
        fs::remove(Dir / "app" / "log.txt");
        const int code = Run({}, true);
        EXPECT_NE(code, kKilledByGuard) << "the window never stood open and idle";
        EXPECT_EQ(code, 0);
        const std::string log = ReadFile(Dir / "app" / "log.txt");
        EXPECT_NE(log.find("| Info | finish\r\n"), std::string::npos) << log.substr(0, 400);
        // What the program saved on its way out must start it again as well.
        EXPECT_EQ(Run({}, true), 0);
    }
}

} // namespace
