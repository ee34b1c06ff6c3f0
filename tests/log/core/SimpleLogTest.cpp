#include "log/core/SimpleLog.h"

#include "log/core/TestLogSupport.h"
#include "platform/core/Exceptions.h"
#include "platform/core/Locale.h"
#include "platform/core/ScopeGuard.h"
#include "platform/core/TestForwardingFs.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif
#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace pardova {
namespace {

using namespace pardova::testing;

constexpr int kChildLines = 3000;

platform::LocalDateTime gNow{2024, 1, 31, 9, 5, 7, 42};
platform::LocalDateTime FixedClock() { return gNow; }

// The timestamp of gNow as a line shows it, with this machine's regional separators.
std::string Stamp() { return FormatLogTimestamp(gNow, platform::DateSeparator(), platform::TimeSeparator()); }

// A fresh registry, a fixed clock and a temporary folder for every test.
class LogTest : public LogFolderTest {
protected:
    void SetUp() override {
        gNow = {2024, 1, 31, 9, 5, 7, 42};
        UseClock(&FixedClock);
    }

    // This system's own configuration: "log", limit in KiB, file count, timestamp and type, " | ".
    TLogInstance* RegisterStandard(const std::string& file, uint32_t sizeLimit = 2000, int32_t maxFiles = 5) {
        TLogInstance* log = SimpleLog().RegisterLog("log", file, sizeLimit, maxFiles, {lpTimestamp, lpType}, " | ");
        SimpleLog().SetLockType(ltProcess);
        return log;
    }
    std::string InfoLine(const std::string& text) const { return Stamp() + " | Info | " + text + "\r\n"; }
};

TEST(LogTimestampTest, LaysOutEveryFieldZeroPadded) {
    const platform::LocalDateTime t{2024, 1, 31, 9, 5, 7, 42};
    EXPECT_EQ(FormatLogTimestamp(t, "/", ":"), "31/01/2024 09:05:07:042");
    EXPECT_EQ(FormatLogTimestamp(t, ".", ":"), "31.01.2024 09:05:07:042");
    EXPECT_EQ(FormatLogTimestamp(t, "-", "."), "31-01-2024 09.05.07.042");
    EXPECT_EQ(FormatLogTimestamp({987, 12, 1, 23, 59, 59, 999}, "/", ":"), "01/12/0987 23:59:59:999");
    // Fields wider than their width, and long or multi-byte separators, keep every digit and byte.
    EXPECT_EQ(FormatLogTimestamp({12345, 1, 2, 3, 4, 5, 6}, "/", ":"), "02/01/12345 03:04:05:006");
    EXPECT_EQ(FormatLogTimestamp({2024, 1, 2, 3, 4, 5, 1234}, "/", ":"), "02/01/2024 03:04:05:1234");
    EXPECT_EQ(FormatLogTimestamp(t, "г.", "ч"), "31г.01г.2024 09ч05ч07ч042");
    EXPECT_EQ(FormatLogTimestamp(t, "<--sep-->", "::::::::::"),
              "31<--sep-->01<--sep-->2024 09::::::::::05::::::::::07::::::::::042");
    EXPECT_EQ(FormatRotationStamp(t), "20240131T090507");
    EXPECT_EQ(FormatRotationStamp({2025, 11, 9, 0, 0, 3, 500}), "20251109T000003");
}

TEST(LogPropertiesTest, OneBitPerOrdinal) {
    EXPECT_EQ((TLogProperties{lpTimestamp, lpType}).Bits(), 3);
    EXPECT_EQ(TLogProperties{lpModuleName}.Bits(), 64);
    EXPECT_EQ(TLogProperties{3}, (TLogProperties{lpTimestamp, lpType}));
    EXPECT_TRUE(TLogProperties{5}.Contains(lpComputername));
    EXPECT_FALSE(TLogProperties{5}.Contains(lpType));
}

TEST_F(LogTest, FirstEventCreatesFolderChainAndWritesOneLine) {
    const std::string file = Dir / "a/b/c/log.txt";
    RegisterStandard(platform::kNativePathStyle == platform::PathStyle::Windows ? Dir / "a\\b\\c\\log.txt" : file);
    EXPECT_FALSE(Exists(Dir / "a")) << "registration touches the disk";
    SimpleLog().LogInfo("log", "finish");
    const std::string bytes = ReadAll(file);
    EXPECT_EQ(bytes, InfoLine("finish"));
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes[0], '3') << "no byte-order mark before the day";
    SimpleLog().LogInfo("log", "second");
    EXPECT_EQ(ReadAll(file), InfoLine("finish") + InfoLine("second"));
}

// The log's folder is made however its name is written: relative to the current folder, as a lone name,
// or with its delimiter doubled.
TEST_F(LogTest, RelativeAndDoubledFolderNamesAreMade) {
    const std::string previous = platform::NativeFs().GetCurrentDir();
    ASSERT_TRUE(platform::NativeFs().SetCurrentDir(Dir.Path().string()));
    const platform::ScopeGuard back([&previous] { platform::NativeFs().SetCurrentDir(previous); });
    const std::string sep(1, kSep);
    for (const std::string& name : {"logs" + sep + "log.txt", "x" + sep + "y" + sep + sep + "log.txt"}) {
        SimpleLog().RegisterLog("log", name, 0, 0, {}, "");
        SimpleLog().LogInfo("log", name);
        EXPECT_EQ(ReadAll(Dir / name), name + "\r\n");
    }
}

struct LineCase {
    const char* Name;
    TLogProperties Properties;
    const char* Delimiter;
    TLogType Type;
    std::string Event;
    std::string Expected; // "<ts>" stands for the timestamp
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.Name; }

class LineFormatTest : public LogTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineFormatTest, WritesExactBytes) {
    const LineCase& c = GetParam();
    SimpleLog().RegisterLog("fmt", Dir / "fmt.txt", 0, 0, c.Properties, c.Delimiter);
    SimpleLog().LogEvent("fmt", c.Event, c.Type);
    std::string expected = c.Expected;
    for (size_t pos; (pos = expected.find("<ts>")) != std::string::npos;) {
        expected.replace(pos, 4, Stamp());
    }
    EXPECT_EQ(ReadAll(Dir / "fmt.txt"), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineFormatTest,
    ::testing::Values(LineCase{"standard", {lpTimestamp, lpType}, " | ", ltInfo, "copy", "<ts> | Info | copy\r\n"},
                      LineCase{"emptyEventEndsInBlank", {lpTimestamp, lpType}, " | ", ltInfo, "", "<ts> | Info | \r\n"},
                      LineCase{"noProperties", {}, " | ", ltInfo, "bare", "bare\r\n"},
                      LineCase{"noPropertiesEmptyEvent", {}, " | ", ltInfo, "", "\r\n"},
                      LineCase{
                          "emptyDelimiterRunsTogether", {lpTimestamp, lpType}, "", ltWarning, "x", "<ts>Warningx\r\n"},
                      LineCase{"typeOnlyError", {lpType}, ";", ltError, "e", "Error;e\r\n"},
                      LineCase{"typeOnlyHint", {lpType}, ";", ltHint, "h", "Hint;h\r\n"},
                      LineCase{"cyrillicTwoBytesPerLetter",
                               {lpType},
                               " | ",
                               ltInfo,
                               "копирую",
                               "Info | \xD0\xBA\xD0\xBE\xD0\xBF\xD0\xB8\xD1\x80\xD1\x83\xD1\x8E\r\n"},
                      LineCase{"crlfInsideEventStartsBareLine",
                               {lpTimestamp, lpType},
                               " | ",
                               ltInfo,
                               "one\r\ntwo",
                               "<ts> | Info | one\r\ntwo\r\n"},
                      LineCase{"delimiterWrittenUnchanged", {lpType}, "\t\"|\"\t", ltInfo, "q", "Info\t\"|\"\tq\r\n"}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.Name); });

TEST_F(LogTest, IdentityPropertiesInOrdinalOrder) {
    SimpleLog().RegisterLog("all", Dir / "all.txt", 0, 0, TLogProperties{127}, "|");
    SimpleLog().LogHint("all", "ev");
    const std::string expected = Stamp() + "|Hint|" + platform::GetComputerNameText() + "|" +
                                 platform::GetUserNameText() + "|" + std::to_string(platform::CurrentProcessId()) +
                                 "|" + std::to_string(platform::CurrentThreadId()) + "|" +
                                 platform::NamePart(platform::GetModulePath()) + "|ev\r\n";
    EXPECT_EQ(ReadAll(Dir / "all.txt"), expected);
}

TEST_F(LogTest, BareFileNameRaisesUnableToCreateDirectory) {
    SimpleLog().RegisterLog("bare", "log.txt", 0, 0, {}, "");
    try {
        SimpleLog().LogInfo("bare", "x");
        FAIL() << "no error";
    } catch (const platform::EInOutError& e) {
        EXPECT_EQ(e.Message(), "Unable to create directory");
    }
}

TEST_F(LogTest, UnregisteredNameRaisesAndWritesNothing) {
    RegisterStandard(Dir / "log.txt");
    for (const std::string name : {"Log", "LOG", "other", ""}) {
        try {
            SimpleLog().LogInfo(name, "x");
            ADD_FAILURE() << "no error for " << name;
        } catch (const platform::EInOutError&) {
            ADD_FAILURE() << "wrong class";
        } catch (const platform::Exception& e) {
            EXPECT_EQ(e.Message(), "Log \"" + name + "\" is not registered");
        }
    }
    EXPECT_TRUE(SortedNames(Dir.Path()).empty());
    SimpleLog().UnRegisterLog("nothing");
    SimpleLog().LogInfo("log", "still here");
    SimpleLog().UnRegisterLog("log");
    EXPECT_THROW(SimpleLog().LogInfo("log", "gone"), platform::Exception);
    EXPECT_EQ(ReadAll(Dir / "log.txt"), InfoLine("still here"));
}

TEST_F(LogTest, NamesAreCaseSensitive) {
    TLogInstance* lower = SimpleLog().RegisterLog("log", Dir / "lower.txt", 0, 0, {}, "");
    TLogInstance* upper = SimpleLog().RegisterLog("Log", Dir / "upper.txt", 0, 0, {lpType}, ":");
    EXPECT_NE(lower, upper);
    SimpleLog().LogInfo("log", "a");
    SimpleLog().LogInfo("Log", "b");
    EXPECT_EQ(ReadAll(Dir / "lower.txt"), "a\r\n");
    EXPECT_EQ(ReadAll(Dir / "upper.txt"), "Info:b\r\n");
}

TEST_F(LogTest, ReRegistrationMovesTheFileAndKeepsTheRest) {
    TLogInstance* first = SimpleLog().RegisterLog("log", Dir / "one.txt", 7, 3, {lpType}, "#");
    TLogInstance* again = SimpleLog().RegisterLog("log", Dir / "two.txt", 0, 0, {lpTimestamp}, " | ");
    EXPECT_EQ(first, again);
    EXPECT_EQ(again->FileName(), Dir / "two.txt");
    EXPECT_EQ(again->SizeLimit(), 7u);
    EXPECT_EQ(again->MaxFiles(), 3);
    EXPECT_EQ(again->LogProperties(), TLogProperties{lpType});
    EXPECT_EQ(again->LogDelimiter(), "#");
    SimpleLog().LogInfo("log", "x");
    EXPECT_FALSE(Exists(Dir / "one.txt"));
    EXPECT_EQ(ReadAll(Dir / "two.txt"), "Info#x\r\n");
}

TEST_F(LogTest, MutexNameDropsBackslashes) {
    TLogInstance log("x", "C:\\Tools\\log.txt");
    EXPECT_EQ(log.MutexName(), "CSL_MUTEX_C:Toolslog.txt");
    log.SetFileName("\\\\srv\\share\\Журнал.txt");
    EXPECT_EQ(log.MutexName(), "CSL_MUTEX_srvshareЖурнал.txt");
    EXPECT_EQ(log.SizeLimit(), 0u);
    EXPECT_EQ(log.MaxFiles(), 0);
    EXPECT_EQ(log.LogProperties().Bits(), 0);
    EXPECT_EQ(log.LogDelimiter(), "");
}

TEST_F(LogTest, RegistryIsOneObjectUntilFreed) {
    TSimpleLog* first = &SimpleLog();
    EXPECT_EQ(&SimpleLog(), first);
    EXPECT_EQ(first->LockType(), ltNone);
    RegisterStandard(Dir / "log.txt");
    FreeSimpleLog();
    EXPECT_THROW(SimpleLog().LogInfo("log", "x"), platform::Exception) << "a new registry starts empty";
    EXPECT_EQ(SimpleLog().LockType(), ltNone);
}

TEST_F(LogTest, NoHandleHeldBetweenEvents) {
    RegisterStandard(Dir / "log.txt");
    SimpleLog().LogInfo("log", "x");
    // An exclusive open succeeds only when nobody else holds the file.
    EXPECT_NO_THROW(platform::OpenNativeStream(Dir / "log.txt", platform::StreamMode::OpenReadWriteDenyWrite));
}

TEST_F(LogTest, FileHeldByAnotherWriterPastTheWaitGivesOpenErrorEveryTime) {
    const std::string file = Dir / "log.txt";
    WriteAll(file, "old\r\n");
    EXPECT_EQ(RegisterStandard(file)->HeldFileWait(), TLogInstance::kHeldFileWait);
    RegisterStandard(file)->SetHeldFileWait(std::chrono::milliseconds(20));
    {
        auto holder = platform::OpenNativeStream(file, platform::StreamMode::OpenReadWriteDenyWrite);
        for (int i = 0; i < 2; ++i) {
            try {
                SimpleLog().LogInfo("log", "blocked");
                ADD_FAILURE() << "wrote past another writer";
            } catch (const platform::EFOpenError& e) {
                EXPECT_EQ(e.Message().rfind("Cannot open file \"" + file + "\". ", 0), 0u) << e.Message();
                EXPECT_EQ(e.Path(), file);
                EXPECT_EQ(e.ErrorCode(), platform::kErrSharingViolation);
            }
        }
    }
    // The failed events released the log's lock and left nothing behind.
    SimpleLog().LogInfo("log", "free");
    EXPECT_EQ(ReadAll(file), "old\r\n" + InfoLine("free"));
}

// Lets another writer hold the log file until the log has found it held a given number of times, then
// lets it go: the event that found it held must wait and write its line after it.
class HeldForAMomentFs : public ForwardingFs {
public:
    std::unique_ptr<platform::FileStream> OpenStream(const std::string& p, platform::StreamMode m) override {
        try {
            return ForwardingFs::OpenStream(p, m);
        } catch (const platform::EFileStreamError& e) {
            if (e.ErrorCode() == platform::kErrSharingViolation && ++FoundHeld == ReleaseAfter) {
                Holder.reset();
            }
            throw;
        }
    }
    std::unique_ptr<platform::FileStream> Holder;
    int ReleaseAfter = 1;
    int FoundHeld = 0;
};

TEST_F(LogTest, AFileHeldForAMomentByAnotherWriterIsWaitedFor) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file);
    SimpleLog().LogInfo("log", "before");
    HeldForAMomentFs fs;
    const platform::ScopedOverride<platform::FileSystem*> use(platform::FsOverride(), &fs);
    for (const int times : {1, 5}) {
        fs.ReleaseAfter = times;
        fs.FoundHeld = 0;
        fs.Holder = platform::OpenNativeStream(file, platform::StreamMode::OpenReadWriteDenyWrite);
        EXPECT_NO_THROW(SimpleLog().LogInfo("log", "after " + std::to_string(times)));
        EXPECT_EQ(fs.FoundHeld, times) << "the event did not meet the other writer";
        EXPECT_EQ(fs.Holder, nullptr);
    }
    EXPECT_EQ(ReadAll(file), InfoLine("before") + InfoLine("after 1") + InfoLine("after 5"));
}

TEST_F(LogTest, UncreatableFileRaisesCreateErrorNamingIt) {
    std::filesystem::create_directory(Dir.Path() / "taken.txt");
    WriteAll(Dir / "plain", "a file where a folder should be");
    const std::string cases[] = {Dir / "taken.txt", Dir / "plain" + std::string(1, kSep) + "log.txt"};
    for (const std::string& file : cases) {
        SimpleLog().RegisterLog("log", file, 0, 0, {}, "");
        try {
            SimpleLog().LogInfo("log", "x");
            ADD_FAILURE() << "wrote to " << file;
        } catch (const platform::EFCreateError& e) {
            EXPECT_EQ(e.Message().rfind("Cannot create file \"" + file + "\". ", 0), 0u) << e.Message();
        }
    }
    EXPECT_EQ(ReadAll(Dir / "plain"), "a file where a folder should be");
}

#ifndef _WIN32
// A child process that keeps every descriptor it inherited until Release (or the end of the scope), as a
// process started beside the program would.
class InheritingChild {
public:
    InheritingChild() = default;
    InheritingChild(const InheritingChild&) = delete;
    InheritingChild& operator=(const InheritingChild&) = delete;
    ~InheritingChild() { Release(); }

    bool Start() {
        if (::pipe(FGate) != 0) {
            return false;
        }
        FChild = ::fork();
        if (FChild == 0) {
            char byte = 0;
            ::close(FGate[1]);
            (void)!::read(FGate[0], &byte, 1);
            ::_exit(0);
        }
        ::close(FGate[0]);
        return FChild > 0;
    }

    void Release() {
        if (FChild > 0) {
            ::close(FGate[1]);
            int status = 0;
            ::waitpid(FChild, &status, 0);
            FChild = -1;
        }
    }

private:
    int FGate[2] = {-1, -1};
    pid_t FChild = -1;
};

TEST_F(LogTest, ALinkToAMissingFileIsFollowedAndItsTargetCreated) {
    std::filesystem::create_directory(Dir.Path() / "logs");
    std::filesystem::create_symlink(Dir.Path() / "logs" / "real.txt", Dir.Path() / "log.txt");
    RegisterStandard(Dir / "log.txt");
    SimpleLog().LogInfo("log", "first");
    SimpleLog().LogInfo("log", "second");
    EXPECT_TRUE(std::filesystem::is_symlink(Dir.Path() / "log.txt"));
    EXPECT_EQ(ReadAll(Dir / "logs" + std::string(1, kSep) + "real.txt"), InfoLine("first") + InfoLine("second"));
}

// Another process holding a reference to the log's open file for a moment (as anything reading
// /proc/PID/fd does, or a child that inherited it) must not refuse the next line: only a real second
// writer does.
TEST_F(LogTest, AMomentaryReferenceToTheOpenFileDoesNotHoldTheLock) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file);
    SimpleLog().LogInfo("log", "before");
    // The child holds its inherited reference until the parent has written its next line.
    InheritingChild child;
    {
        auto stream = platform::OpenNativeStream(file, platform::StreamMode::OpenReadWriteDenyWrite);
        ASSERT_TRUE(child.Start());
    }
    EXPECT_NO_THROW(SimpleLog().LogInfo("log", "after"));
    child.Release();
    EXPECT_EQ(ReadAll(file), InfoLine("before") + InfoLine("after"));
}
#endif

// ---- rotation and retention -----------------------------------------------------------------------

class RotationTest : public LogTest {
protected:
    std::string Rotated(const std::string& stamp) const { return Dir / ("log_" + stamp + ".txt"); }
};

TEST_F(RotationTest, RotatesOnlyPastTheLimit) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file, 1, 5);
    WriteAll(file, std::string(1024, 'a'));
    SimpleLog().LogInfo("log", "at limit");
    EXPECT_EQ(ReadAll(file), std::string(1024, 'a') + InfoLine("at limit"));
    EXPECT_EQ(SortedNames(Dir.Path()), std::vector<std::string>{"log.txt"});

    WriteAll(file, std::string(1025, 'b'));
    SimpleLog().LogInfo("log", "past limit");
    EXPECT_EQ(ReadAll(Rotated("20240131T090507")), std::string(1025, 'b'));
    EXPECT_EQ(ReadAll(file), InfoLine("past limit"));
}

TEST_F(RotationTest, ZeroLimitNeverRotates) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file, 0, 5);
    WriteAll(file, std::string(300000, 'z'));
    SimpleLog().LogInfo("log", "x");
    EXPECT_EQ(SortedNames(Dir.Path()), std::vector<std::string>{"log.txt"});
    EXPECT_EQ(ReadAll(file).size(), 300000 + InfoLine("x").size());
}

TEST_F(RotationTest, TwoRotationsInOneSecondAppendUntilTheNextSecond) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file, 1, 5);
    WriteAll(file, std::string(2000, 'a'));
    SimpleLog().LogInfo("log", "first");
    WriteAll(file, std::string(2000, 'b'));
    // Same second: the stamped name is taken, the rename fails, and the event joins the over-limit file.
    SimpleLog().LogInfo("log", "second");
    SimpleLog().LogInfo("log", "third");
    EXPECT_EQ(ReadAll(Rotated("20240131T090507")), std::string(2000, 'a'));
    EXPECT_EQ(ReadAll(file), std::string(2000, 'b') + InfoLine("second") + InfoLine("third"));
    const std::string overLimit = ReadAll(file);
    gNow.Second = 8;
    SimpleLog().LogInfo("log", "fourth");
    EXPECT_EQ(ReadAll(Rotated("20240131T090508")), overLimit);
    EXPECT_EQ(ReadAll(file), InfoLine("fourth"));
}

struct RetentionCase {
    const char* Name;
    int32_t MaxFiles;
    std::vector<std::string> Survivors; // rotated files left beside log.txt
};

void PrintTo(const RetentionCase& c, std::ostream* os) { *os << c.Name; }

class RetentionTest : public RotationTest, public ::testing::WithParamInterface<RetentionCase> {};

// Five rotated files, a stray log_0000.txt and the rotation's own new file: six or seven candidates.
TEST_P(RetentionTest, KeepsTheNewest) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file, 1, GetParam().MaxFiles);
    for (const char* stamp : {"20240101T000000", "20240102T000000", "20240103T000000", "20240104T000000"}) {
        WriteAll(Rotated(stamp), stamp);
    }
    WriteAll(Dir / "log_0000.txt", "stray");
    WriteAll(Dir / "LOG_20240105T000000.txt", "other case: not a candidate");
    WriteAll(Dir / "log_20240106T000000.dat", "other extension");
    std::filesystem::create_directory(Dir.Path() / "log_00.txt");
    WriteAll(file, std::string(1100, 'x'));
    SimpleLog().LogInfo("log", "new");

    std::vector<std::string> expected = GetParam().Survivors;
    expected.insert(expected.end(), {"LOG_20240105T000000.txt", "log.txt", "log_00.txt", "log_20240106T000000.dat"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(SortedNames(Dir.Path()), expected);
    EXPECT_EQ(ReadAll(file), InfoLine("new"));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, RetentionTest,
    ::testing::Values(RetentionCase{"five",
                                    5,
                                    {"log_20240101T000000.txt", "log_20240102T000000.txt", "log_20240103T000000.txt",
                                     "log_20240104T000000.txt", "log_20240131T090507.txt"}},
                      RetentionCase{"two", 2, {"log_20240104T000000.txt", "log_20240131T090507.txt"}},
                      RetentionCase{"zero",
                                    0,
                                    {"log_0000.txt", "log_20240101T000000.txt", "log_20240102T000000.txt",
                                     "log_20240103T000000.txt", "log_20240104T000000.txt", "log_20240131T090507.txt"}},
                      RetentionCase{"negative",
                                    -1,
                                    {"log_0000.txt", "log_20240101T000000.txt", "log_20240102T000000.txt",
                                     "log_20240103T000000.txt", "log_20240104T000000.txt", "log_20240131T090507.txt"}}),
    [](const ::testing::TestParamInfo<RetentionCase>& info) { return std::string(info.param.Name); });

TEST_F(RotationTest, FiveRotationsKeepFiveFiles) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file, 1, 5);
    for (int second = 10; second < 17; ++second) {
        gNow.Second = second;
        WriteAll(file, std::string(1030, static_cast<char>('a' + second - 10)));
        SimpleLog().LogInfo("log", "x");
    }
    EXPECT_EQ(
        SortedNames(Dir.Path()),
        (std::vector<std::string>{"log.txt", "log_20240131T090512.txt", "log_20240131T090513.txt",
                                  "log_20240131T090514.txt", "log_20240131T090515.txt", "log_20240131T090516.txt"}));
    EXPECT_EQ(ReadAll(Rotated("20240131T090516")), std::string(1030, 'g'));
}

TEST_F(RotationTest, NamesWithoutOrWithSeveralDotsRotateAndRetain) {
    for (const std::string name : {"journal", "app.run.txt"}) {
        TempDir dir;
        const std::string file = dir / name;
        SimpleLog().RegisterLog(name, file, 1, 1, {}, "");
        const std::string stem = name == "journal" ? "journal" : "app.run";
        const std::string ext = name == "journal" ? "" : ".txt";
        WriteAll(dir / (stem + "_20230101T000000" + ext), "old");
        WriteAll(file, std::string(1025, 'q'));
        SimpleLog().LogInfo(name, "n");
        EXPECT_EQ(SortedNames(dir.Path()), (std::vector<std::string>{name, stem + "_20240131T090507" + ext})) << name;
        EXPECT_EQ(ReadAll(file), "n\r\n");
    }
}

// ---- the file system seen through a recorder -----------------------------------------------------

// Passes every call to the native file system, counts the calls, records each write as one piece, and
// reports entries whose names contain "hidden" or "system" with those attributes.
class RecordingFs : public testing::ForwardingFs {
public:
    struct Stream : platform::FileStream {
        Stream(std::unique_ptr<platform::FileStream> inner, RecordingFs& owner)
            : Inner(std::move(inner)), Owner(owner) {}
        int64_t Size() override { return Inner->Size(); }
        int64_t Seek(int64_t o, platform::SeekOrigin s) override { return Inner->Seek(o, s); }
        size_t Write(const void* d, size_t n) override {
            Owner.Writes.emplace_back(static_cast<const char*>(d), n);
            return Owner.FailWrites ? 0 : Inner->Write(d, n);
        }
        size_t Read(void* d, size_t n) override { return Inner->Read(d, n); }
        std::unique_ptr<platform::FileStream> Inner;
        RecordingFs& Owner;
    };
    struct Search : platform::DirectorySearch {
        explicit Search(std::unique_ptr<platform::DirectorySearch> inner) : Inner(std::move(inner)) {}
        bool Next(platform::DirEntry& e) override {
            if (!Inner->Next(e)) {
                return false;
            }
            if (e.Name.find("hidden") != std::string::npos) {
                e.Attributes |= platform::kAttrHidden;
            }
            if (e.Name.find("system") != std::string::npos) {
                e.Attributes |= platform::kAttrSystem;
            }
            return true;
        }
        std::unique_ptr<platform::DirectorySearch> Inner;
    };

    std::unique_ptr<platform::DirectorySearch> FindFirst(const std::string& p) override {
        ++Calls["FindFirst"];
        auto inner = ForwardingFs::FindFirst(p);
        return inner ? std::make_unique<Search>(std::move(inner)) : nullptr;
    }
    std::optional<uint32_t> GetAttributes(const std::string& p, uint32_t* e) override {
        ++Calls["GetAttributes"];
        return ForwardingFs::GetAttributes(p, e);
    }
    std::optional<platform::FileAttributeData> GetAttributeData(const std::string& p, uint32_t* e) override {
        ++Calls["GetAttributeData"];
        return ForwardingFs::GetAttributeData(p, e);
    }
    bool MakeDirectory(const std::string& p) override {
        ++Calls["MakeDirectory"];
        return ForwardingFs::MakeDirectory(p);
    }
    bool MoveNoReplace(const std::string& f, const std::string& t) override {
        ++Calls["MoveNoReplace"];
        return ForwardingFs::MoveNoReplace(f, t);
    }
    bool RemoveFile(const std::string& p) override {
        ++Calls["RemoveFile"];
        return ForwardingFs::RemoveFile(p);
    }
    std::unique_ptr<platform::FileStream> OpenStream(const std::string& p, platform::StreamMode m) override {
        ++Calls["OpenStream"];
        return std::make_unique<Stream>(ForwardingFs::OpenStream(p, m), *this);
    }

    std::map<std::string, int> Calls;
    std::vector<std::string> Writes;
    bool FailWrites = false;
};

class RecordedLogTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        FUse.emplace(platform::FsOverride(), &Fs);
    }
    void TearDown() override {
        FUse.reset();
        LogTest::TearDown();
    }
    RecordingFs Fs;
    std::optional<platform::ScopedOverride<platform::FileSystem*>> FUse;
};

TEST_F(RecordedLogTest, TheWholeLineIsOneWriteAndAnOrdinaryEventOnlyOpens) {
    RegisterStandard(Dir / "log.txt");
    SimpleLog().LogInfo("log", "first");
    Fs.Calls.clear();
    Fs.Writes.clear();
    SimpleLog().LogInfo("log", "second");
    // One write per line: another writer can never land inside it.
    EXPECT_EQ(Fs.Writes, (std::vector<std::string>{Stamp() + " | Info | second\r\n"}));
    // An existing file is opened once; no folder work, no existence checks, no directory scan.
    EXPECT_EQ(Fs.Calls, (std::map<std::string, int>{{"OpenStream", 1}}));
}

// Moves a folder's last-write time an hour back (the runtime's own call refuses folders on Windows).
void SetFolderTimeAnHourBack(const std::filesystem::path& folder) {
#ifdef _WIN32
    const HANDLE handle =
        ::CreateFileW(folder.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{};
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= 36000000000ull;
    FILETIME back{time.LowPart, time.HighPart};
    EXPECT_TRUE(::SetFileTime(handle, nullptr, nullptr, &back));
    ::CloseHandle(handle);
#else
    std::filesystem::last_write_time(folder, std::filesystem::last_write_time(folder) - std::chrono::hours(1));
#endif
}

TEST_F(RecordedLogTest, ARefusedRotationIsTriedAgainOnlyOnceTheSecondOrTheFolderHasChanged) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file, 1, 2);
    WriteAll(Dir / "log_20240101T000000.txt", "old");
    WriteAll(Dir / "log_20240131T090507.txt", "this second's rotation");
    WriteAll(file, std::string(2000, 'b'));
    // The folder's last change lies well in the past, as it does between rotations.
    SetFolderTimeAnHourBack(Dir.Path());

    SimpleLog().LogInfo("log", "refused");
    EXPECT_EQ(Fs.Calls["MoveNoReplace"], 1);
    EXPECT_EQ(Fs.Calls["FindFirst"], 1);
    // Nothing has changed: another rename would be refused and another scan would find the same files.
    Fs.Calls.clear();
    SimpleLog().LogInfo("log", "appended");
    EXPECT_EQ(Fs.Calls.count("MoveNoReplace"), 0u);
    EXPECT_EQ(Fs.Calls.count("FindFirst"), 0u);

    // A file dropped into the folder meanwhile is deleted at the very next event, as the plain rules do.
    WriteAll(Dir / "log_0000.txt", "foreign");
    SimpleLog().LogInfo("log", "after the drop");
    EXPECT_FALSE(Exists(Dir / "log_0000.txt"));
    // This second's rotated file taken away: the next event rotates at once.
    std::filesystem::remove(Dir / "log_20240131T090507.txt");
    SimpleLog().LogInfo("log", "rotated");
    EXPECT_EQ(ReadAll(Dir / "log_20240131T090507.txt"),
              std::string(2000, 'b') + InfoLine("refused") + InfoLine("appended") + InfoLine("after the drop"));
    EXPECT_EQ(ReadAll(file), InfoLine("rotated"));
    EXPECT_EQ(SortedNames(Dir.Path()),
              (std::vector<std::string>{"log.txt", "log_20240101T000000.txt", "log_20240131T090507.txt"}));
}

TEST_F(RecordedLogTest, FailedWritesAreNotReported) {
    RegisterStandard(Dir / "log.txt");
    Fs.FailWrites = true;
    EXPECT_NO_THROW(SimpleLog().LogInfo("log", "lost"));
    Fs.FailWrites = false;
    SimpleLog().LogInfo("log", "kept");
    EXPECT_EQ(ReadAll(Dir / "log.txt"), InfoLine("kept"));
}

TEST_F(RecordedLogTest, HiddenAndSystemFilesAreNotCounted) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file, 1, 1);
    WriteAll(Dir / "log_0hidden.txt", "h");
    WriteAll(Dir / "log_0system.txt", "s");
    WriteAll(Dir / "log_20240101T000000.txt", "old");
    WriteAll(file, std::string(1025, 'x'));
    SimpleLog().LogInfo("log", "n");
    EXPECT_EQ(SortedNames(Dir.Path()),
              (std::vector<std::string>{"log.txt", "log_0hidden.txt", "log_0system.txt", "log_20240131T090507.txt"}));
    EXPECT_EQ(Fs.Calls["RemoveFile"], 1);
    EXPECT_EQ(Fs.Calls["FindFirst"], 1);
}

// ---- serialisation of writers ----------------------------------------------------------------------

TEST_F(LogTest, ThreadsUnderProcessLockWriteWholeLines) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file, 4, 100); // small enough that the threads also rotate while they write
    constexpr int kThreads = 4;
    constexpr int kLines = 1500;
    EXPECT_EQ(LogFromThreads(kThreads, kLines,
                             [](int t, int i) {
                                 return "thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                                        std::string(40, static_cast<char>('a' + t));
                             }),
              0);
    std::string all;
    for (const auto& name : SortedNames(Dir.Path())) {
        all += ReadAll(Dir / name);
    }
    std::set<std::string> seen;
    for (const std::string& line : SplitLines(all)) {
        const std::string prefix = Stamp() + " | Info | thread ";
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        const int t = line[prefix.size()] - '0';
        ASSERT_TRUE(t >= 0 && t < kThreads) << line;
        ASSERT_EQ(line.substr(line.size() - 41), " " + std::string(40, static_cast<char>('a' + t))) << line;
        EXPECT_TRUE(seen.insert(line.substr(prefix.size(), line.size() - prefix.size() - 41)).second) << line;
    }
    // Rotations within one fixed second fail and keep appending, so every line is somewhere.
    EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}

// Child side of the machine-wide test: reports that it is ready, waits at the parent's gate so that all
// children start together, then writes lines to the shared file under ltMachine.
TEST(MachineLockChild, DISABLED_WriteLines) {
    HoldInHeldBuild();
    SimpleLog().RegisterLog("log", GetEnv("PARDOVA_TEST_LOG"), 0, 0, {lpPID}, " ");
    SimpleLog().SetLockType(ltMachine);
    WriteAll(GetEnv("PARDOVA_TEST_READY") + std::to_string(platform::CurrentProcessId()), "");
    platform::NamedMutex::Acquire(GetEnv("PARDOVA_TEST_GATE")).reset();
    for (int i = 0; i < kChildLines; ++i) {
        SimpleLog().LogInfo("log", "line " + std::to_string(i) + " " + std::string(100, 'm'));
    }
    FreeSimpleLog();
}

TEST_F(LogTest, MachineLockSerialisesProcesses) {
    constexpr int kChildren = 3;
    const std::string file = Dir / "shared.txt";
    std::filesystem::create_directory(Dir.Path() / "ready");
    const std::string gate = "CSL_MUTEX_pardova-test-gate-" + std::to_string(platform::CurrentProcessId());
    SetEnv("PARDOVA_TEST_LOG", file);
    SetEnv("PARDOVA_TEST_READY", Dir / "ready" + std::string(1, kSep));
    SetEnv("PARDOVA_TEST_GATE", gate);
    auto gateHeld = platform::NamedMutex::Acquire(gate);
    // Without the machine-wide lock a child meets another's exclusive open, raises, and exits non-zero.
    std::atomic<int> codes[kChildren] = {-2, -2, -2};
    std::vector<std::thread> children;
    for (auto& code : codes) {
        children.emplace_back([&code] { code = RunSelfChild("MachineLockChild.DISABLED_WriteLines"); });
    }
    // Open the gate once every child waits at it (or one has ended early, which the codes then show).
    const auto anyEnded = [&] {
        return std::any_of(std::begin(codes), std::end(codes), [](const auto& c) { return c.load() != -2; });
    };
    while (SortedNames(Dir.Path() / "ready").size() < kChildren && !anyEnded()) {
        std::this_thread::yield();
    }
    gateHeld.reset();
    for (auto& c : children) {
        c.join();
    }
    for (const auto& code : codes) {
        EXPECT_EQ(code.load(), 0);
    }
    std::map<std::string, int> perProcess;
    for (const std::string& line : SplitLines(ReadAll(file))) {
        const size_t blank = line.find(' ');
        ASSERT_NE(blank, std::string::npos) << line;
        ASSERT_EQ(line.substr(blank + 1, 5), "line ") << line;
        ASSERT_EQ(line.substr(line.size() - 101), " " + std::string(100, 'm')) << line;
        ++perProcess[line.substr(0, blank)];
    }
    EXPECT_EQ(perProcess.size(), static_cast<size_t>(kChildren));
    for (const auto& [pid, count] : perProcess) {
        EXPECT_EQ(count, kChildLines) << pid;
    }
}

TEST_F(LogTest, MachineLockWithUnopenableMutexStillWrites) {
#ifdef _WIN32
    const std::string file = Dir / "m.txt";
    TLogInstance probe("p", file);
    const std::u16string wide16 = platform::Utf8ToUtf16(probe.MutexName());
    const std::wstring wide(wide16.begin(), wide16.end());
    HANDLE blocker = CreateEventW(nullptr, TRUE, FALSE, wide.c_str());
    ASSERT_NE(blocker, nullptr);
#else
    pardova::testing::ScopedEnv missing("TMPDIR", Dir / "missing/");
    const std::string file = Dir / "m.txt";
#endif
    SimpleLog().RegisterLog("m", file, 0, 0, {}, "");
    SimpleLog().SetLockType(ltMachine);
    SimpleLog().LogInfo("m", "one");
    SimpleLog().LogInfo("m", "two");
#ifdef _WIN32
    CloseHandle(blocker);
#endif
    EXPECT_EQ(ReadAll(file), "one\r\ntwo\r\n");
}

// ---- the file held between events ------------------------------------------------------------------

#ifndef _WIN32

// Counts what a held log does with its folder and file, passing every call to the platform's own.
struct HeldCalls {
    int Opens = 0;
    int Locks = 0;
    int NameChecks = 0;
    int FolderTimes = 0;
    std::vector<std::string> Appends;
};
HeldCalls gHeld;

class RecordingHeldFile : public platform::HeldLogFile {
public:
    explicit RecordingHeldFile(std::unique_ptr<platform::HeldLogFile> inner) : Inner(std::move(inner)) {}
    void Lock() override {
        ++gHeld.Locks;
        Inner->Lock();
    }
    void Unlock() override { Inner->Unlock(); }
    int64_t LengthIfStillNamed() override {
        ++gHeld.NameChecks;
        return Inner->LengthIfStillNamed();
    }
    size_t Append(const void* d, size_t n) override {
        gHeld.Appends.emplace_back(static_cast<const char*>(d), n);
        return Inner->Append(d, n);
    }
    std::unique_ptr<platform::HeldLogFile> Inner;
};

class RecordingLogFolder : public platform::LogFolder {
public:
    explicit RecordingLogFolder(std::unique_ptr<platform::LogFolder> inner) : Inner(std::move(inner)) {}
    std::unique_ptr<platform::HeldLogFile> OpenFile(const std::string& name, const std::string& path,
                                                    int64_t* length) override {
        ++gHeld.Opens;
        return std::make_unique<RecordingHeldFile>(Inner->OpenFile(name, path, length));
    }
    std::optional<uint64_t> ChangeTime() override {
        ++gHeld.FolderTimes;
        return Inner->ChangeTime();
    }
    std::optional<uint64_t> SettledChangeTime() override { return Inner->SettledChangeTime(); }
    std::unique_ptr<platform::LogFolder> Inner;
};

std::unique_ptr<platform::LogFolder> OpenRecordingLogFolder(const std::string& folder) {
    auto inner = platform::OpenNativeLogFolder(folder);
    if (!inner) {
        return nullptr;
    }
    return std::make_unique<RecordingLogFolder>(std::move(inner));
}

// The names and bytes of every file of a folder.
std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder) {
    std::map<std::string, std::string> contents;
    for (const std::string& name : SortedNames(folder)) {
        contents[name] = ReadAll(Utf8(folder / name));
    }
    return contents;
}

// This process's descriptors that lead to the file, as /proc/self/fd names them.
std::vector<std::string> DescriptorsOf(const std::string& file) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == FromUtf8(file)) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

// Every test starts with a registry of its own that holds nothing until the test holds it.
class HeldLogTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        FreeSimpleLog();
        gHeld = {};
    }
};

// One sequence of events, with other programs acting between some of them, run once on the plain path and
// once held: after every step both folders hold the same names with the same bytes, so rotations, their
// names and every retention deletion happen at the same events.
TEST_F(HeldLogTest, FilesNamesAndBytesAreThoseOfThePlainPathAtEveryStep) {
    using Step = std::function<void(const std::string& dir)>;
    std::vector<Step> steps;
    const auto events = [&steps](int from, int to) {
        for (int n = from; n < to; ++n) {
            steps.push_back([n](const std::string&) {
                SimpleLog().LogInfo("log", "event " + std::to_string(n) + " " + std::string(200, '.'));
            });
        }
    };
    const auto second = [&steps](int s) { steps.push_back([s](const std::string&) { gNow.Second = s; }); };
    // The folder's last change then lies far enough back that the held log trusts its time.
    const auto settle = [&steps] {
        steps.push_back([](const std::string&) { std::this_thread::sleep_for(std::chrono::milliseconds(120)); });
    };
    second(10);
    events(0, 12); // rotates once past 1 KiB, then finds this second's name taken
    settle();
    events(12, 16);
    steps.push_back([](const std::string& dir) { WriteAll(dir + "log_0000.txt", "dropped by another program"); });
    events(16, 18); // retention deletes the dropped file at once
    settle();
    events(18, 20);
    steps.push_back([](const std::string& dir) { std::filesystem::remove(FromUtf8(dir + "log_20240131T090510.txt")); });
    events(20, 22); // the taken name is free again: the next event rotates
    settle();
    events(22, 26);
    second(11);
    events(26, 40);
    second(13);
    settle();
    events(40, 50);

    std::vector<std::map<std::string, std::string>> seen[2];
    for (const bool held : {false, true}) {
        const std::filesystem::path folder = Dir.Path() / (held ? "held" : "plain");
        std::filesystem::create_directory(folder);
        const std::string dir = Utf8(folder) + kSep;
        WriteAll(dir + "log_20240101T000000.txt", "old");
        WriteAll(dir + "log_20240102T000000.txt", "older");
        std::optional<TLogHold> hold;
        if (held) {
            hold.emplace(SimpleLog());
        }
        RegisterStandard(dir + "log.txt", 1, 3);
        for (const Step& step : steps) {
            step(dir);
            seen[held].push_back(FolderContents(folder));
        }
        hold.reset();
        FreeSimpleLog();
    }
    ASSERT_EQ(seen[0].size(), seen[1].size());
    for (size_t i = 0; i < seen[0].size(); ++i) {
        ASSERT_EQ(seen[1][i], seen[0][i]) << "step " << i;
    }
    // The sequence did meet what it is about: rotations, a taken name, deletions.
    EXPECT_EQ(seen[0].back().count("log_0000.txt"), 0u);
    EXPECT_EQ(seen[0].back().count("log_20240101T000000.txt"), 0u);
    EXPECT_EQ(seen[0].back().count("log_20240131T090513.txt"), 1u);
}

struct OtherProgramCase {
    const char* Name;
    std::function<void(const std::filesystem::path& file)> Act;
    std::string Kept;     // the line that "moved.txt" holds afterwards (empty: there is no such file)
    std::string LiveHead; // what the new log.txt holds before the log's next line
};

void PrintTo(const OtherProgramCase& c, std::ostream* os) { *os << c.Name; }

class HeldOtherProgramTest : public HeldLogTest, public ::testing::WithParamInterface<OtherProgramCase> {};

// A file renamed, deleted or replaced between two lines: the next line goes to a new file at the path,
// and the old file keeps what it had.
TEST_P(HeldOtherProgramTest, TheNextLineGoesToTheFileAtThePath) {
    const std::string file = Dir / "log.txt";
    const TLogHold hold(SimpleLog());
    RegisterStandard(file);
    SimpleLog().LogInfo("log", "first");
    GetParam().Act(FromUtf8(file));
    SimpleLog().LogInfo("log", "second");
    SimpleLog().LogInfo("log", "third");
    EXPECT_EQ(ReadAll(file), GetParam().LiveHead + InfoLine("second") + InfoLine("third"));
    if (GetParam().Kept.empty()) {
        EXPECT_FALSE(Exists(Dir / "moved.txt"));
    } else {
        EXPECT_EQ(ReadAll(Dir / "moved.txt"), InfoLine(GetParam().Kept));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Acts, HeldOtherProgramTest,
    ::testing::Values(OtherProgramCase{"renamed",
                                       [](const std::filesystem::path& f) {
                                           std::filesystem::rename(f, f.parent_path() / "moved.txt");
                                       },
                                       "first", ""},
                      OtherProgramCase{"deleted", [](const std::filesystem::path& f) { std::filesystem::remove(f); },
                                       "", ""},
                      OtherProgramCase{"replaced",
                                       [](const std::filesystem::path& f) {
                                           WriteAll(Utf8(f.parent_path() / "other.txt"), "another program's\r\n");
                                           std::filesystem::rename(f, f.parent_path() / "moved.txt");
                                           std::filesystem::rename(f.parent_path() / "other.txt", f);
                                       },
                                       "first", "another program's\r\n"}),
    [](const ::testing::TestParamInfo<OtherProgramCase>& info) { return std::string(info.param.Name); });

// Another writer (an open of its own, as another process has) writes between the held log's lines, is
// waited for as it would be without the hold, and past the wait refuses a line with the open error naming
// the file, after which the held log writes on.
TEST_F(HeldLogTest, AnotherWriterMeetsWhatItMeetsWithoutTheHold) {
    const std::string file = Dir / "log.txt";
    const TLogHold hold(SimpleLog());
    RegisterStandard(file)->SetHeldFileWait(std::chrono::milliseconds(20));
    SimpleLog().LogInfo("log", "held 1");
    {
        // Between two lines the other writer opens and writes at once.
        auto other = platform::OpenNativeStream(file, platform::StreamMode::OpenReadWriteDenyWrite);
        other->Seek(0, platform::SeekOrigin::End);
        other->Write("other\r\n", 7);
        try {
            SimpleLog().LogInfo("log", "refused");
            ADD_FAILURE() << "wrote past another writer";
        } catch (const platform::EFOpenError& e) {
            EXPECT_EQ(e.Message().rfind("Cannot open file \"" + file + "\". ", 0), 0u) << e.Message();
            EXPECT_EQ(e.ErrorCode(), platform::kErrSharingViolation);
        }
        // The refused event left its file closed, as on the plain path: only the other writer's is open.
        EXPECT_EQ(DescriptorsOf(file).size(), 1u);
    }
    SimpleLog().LogInfo("log", "held 2");
    // A writer that lets go within the wait sees its line followed by the held log's.
    RegisterStandard(file)->SetHeldFileWait(std::chrono::seconds(5));
    auto other = platform::OpenNativeStream(file, platform::StreamMode::OpenReadWriteDenyWrite);
    std::thread release([&other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        other->Seek(0, platform::SeekOrigin::End);
        other->Write("other again\r\n", 13);
        other.reset();
    });
    SimpleLog().LogInfo("log", "held 3");
    release.join();
    EXPECT_EQ(ReadAll(file),
              InfoLine("held 1") + "other\r\n" + InfoLine("held 2") + "other again\r\n" + InfoLine("held 3"));
}

TEST_F(HeldLogTest, NothingKeepsTheFileOpenOnceTheHoldEnds) {
    const std::string file = Dir / "log.txt";
    RegisterStandard(file);
    {
        const TLogHold hold(SimpleLog());
        SimpleLog().LogInfo("log", "in the pass");
        EXPECT_EQ(DescriptorsOf(file).size(), 1u) << "held between lines during the hold";
        {
            // Holds nest: the inner one ending leaves the file held.
            const TLogHold inner(SimpleLog());
        }
        EXPECT_EQ(DescriptorsOf(file).size(), 1u);
    }
    EXPECT_EQ(DescriptorsOf(file).size(), 0u);
    SimpleLog().LogInfo("log", "after the pass");
    EXPECT_EQ(DescriptorsOf(file).size(), 0u);
    EXPECT_EQ(ReadAll(file), InfoLine("in the pass") + InfoLine("after the pass"));
}

// A child that inherited the held file's descriptor, and a reader that opened the file through
// /proc/PID/fd, keep them while the log writes on: no line fails, and another writer still finds the file
// free between lines.
TEST_F(HeldLogTest, AnInheritedDescriptorOrAReaderOfProcFdNeverFailsALine) {
    const std::string file = Dir / "log.txt";
    const TLogHold hold(SimpleLog());
    RegisterStandard(file)->SetHeldFileWait(std::chrono::milliseconds(0));
    SimpleLog().LogInfo("log", "before");
    const std::vector<std::string> held = DescriptorsOf(file);
    ASSERT_EQ(held.size(), 1u);
    const int reader = ::open(held.front().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    // The child keeps every descriptor it inherited until the parent has written its lines.
    InheritingChild child;
    ASSERT_TRUE(child.Start());
    for (int i = 0; i < 3; ++i) {
        EXPECT_NO_THROW(SimpleLog().LogInfo("log", "line " + std::to_string(i)));
        EXPECT_NO_THROW(platform::OpenNativeStream(file, platform::StreamMode::OpenReadWriteDenyWrite));
    }
    child.Release();
    ::close(reader);
    EXPECT_EQ(ReadAll(file), InfoLine("before") + InfoLine("line 0") + InfoLine("line 1") + InfoLine("line 2"));
}

// Each line is one write of the whole line; an ordinary line takes the lock and looks once at the file's
// name in the folder, opening nothing; in a second whose rotated name is taken, once the folder has
// settled, a line looks only at the held folder's time, and neither renames nor scans.
TEST_F(HeldLogTest, EachLineIsOneWriteAndATakenSecondLooksOnlyAtTheHeldFolder) {
    const platform::ScopedOverride<platform::LogFolderOpener> recording(platform::TheLogFolderOpener,
                                                                        &OpenRecordingLogFolder);
    const std::string file = Dir / "log.txt";
    const TLogHold hold(SimpleLog());
    RegisterStandard(file, 1, 5);
    SimpleLog().LogInfo("log", "first");
    gHeld = {};
    SimpleLog().LogInfo("log", "second");
    EXPECT_EQ(gHeld.Appends, std::vector<std::string>{InfoLine("second")});
    EXPECT_EQ(gHeld.Opens, 0);
    EXPECT_EQ(gHeld.Locks, 1);
    EXPECT_EQ(gHeld.NameChecks, 1);
    EXPECT_EQ(gHeld.FolderTimes, 0);

    WriteAll(Dir / "log_20240131T090507.txt", "this second's rotation");
    WriteAll(file, std::string(2000, 'b'));
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    SimpleLog().LogInfo("log", "refused");
    gHeld = {};
    for (int i = 0; i < 3; ++i) {
        SimpleLog().LogInfo("log", "appended");
    }
    EXPECT_EQ(gHeld.Appends.size(), 3u);
    EXPECT_EQ(gHeld.Opens, 0);
    EXPECT_EQ(gHeld.NameChecks, 0);
    EXPECT_EQ(gHeld.FolderTimes, 3);
    EXPECT_EQ(ReadAll(file), std::string(2000, 'b') + InfoLine("refused") + InfoLine("appended") +
                                 InfoLine("appended") + InfoLine("appended"));
    // The next second frees the name: the clock alone sends the next line to a rotation.
    gNow.Second = 8;
    SimpleLog().LogInfo("log", "rotated");
    EXPECT_EQ(ReadAll(file), InfoLine("rotated"));
}

#endif

// A clock that moves on by a quarter of a second at every reading: rotations fall in new seconds and,
// now and then, in one whose rotated name is taken.
int gTicks = 0;
platform::LocalDateTime SteppingClock() {
    const int ms = 250 * gTicks++;
    return {2024, 1, 31, 9, (ms / 60000) % 60, (ms / 1000) % 60, ms % 1000};
}

// Lines handed to the log together make the same files, byte for byte and name for name, as the same lines
// written one by one: each line finds the file as the one before left it, rotations and retention included.
TEST_F(LogTest, LinesWrittenTogetherMakeTheSameFilesAsLinesWrittenOneByOne) {
    UseClock(&SteppingClock);
    std::vector<std::string> lines;
    for (int i = 0; i < 400; ++i) {
        lines.push_back("line " + std::to_string(i) + " " + std::string(static_cast<size_t>(i * 7 % 90), 'x'));
    }
    const auto contents = [&](const std::string& name, const std::function<void()>& write) {
        gTicks = 0;
        const std::filesystem::path folder = Dir.Path() / name;
        RegisterStandard(Utf8(folder / "log.txt"), 1, 3);
        write();
        SimpleLog().UnRegisterLog("log");
        std::map<std::string, std::string> files;
        for (const std::string& file : SortedNames(folder)) {
            files[file] = ReadAll(Utf8(folder / file));
        }
        return files;
    };
    const auto oneByOne = contents("single", [&] {
        for (const std::string& line : lines) {
            SimpleLog().LogInfo("log", line);
        }
    });
    for (const size_t group : {size_t{1}, size_t{7}, size_t{64}, lines.size()}) {
        const auto together = contents("together" + std::to_string(group), [&] {
            for (size_t i = 0; i < lines.size(); i += group) {
                SimpleLog().LogEvents("log", lines.data() + i, std::min(group, lines.size() - i), ltInfo);
            }
        });
        EXPECT_EQ(together, oneByOne) << "groups of " << group;
    }
    EXPECT_GT(oneByOne.size(), 2u) << "the lines should have rotated the file";
}

} // namespace
} // namespace pardova
