#pragma once
// The event log: named logs, each appending UTF-8 lines to its own file, rotated by size, with a set number
// of rotated files kept, and writers optionally serialised within the process or across the machine.

#include "platform/core/FileSystem.h"
#include "platform/core/LogFolder.h"
#include "platform/core/Override.h"
#include "platform/core/Process.h"

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace pardova {

enum TLogLockType : uint8_t { ltNone = 0, ltProcess = 1, ltMachine = 2 };

enum TLogType : uint8_t { ltError = 0, ltWarning = 1, ltHint = 2, ltInfo = 3 };

enum TLogProperty : uint8_t {
    lpTimestamp = 0,
    lpType = 1,
    lpComputername = 2,
    lpUsername = 3,
    lpPID = 4,
    lpTID = 5,
    lpModuleName = 6,
};

// A set of TLogProperty in one byte: bit n stands for the member of ordinal n.
class TLogProperties {
public:
    constexpr TLogProperties() = default;
    constexpr TLogProperties(uint8_t bits) : FBits(bits) {}
    constexpr TLogProperties(std::initializer_list<TLogProperty> members) {
        for (const TLogProperty p : members) {
            FBits = static_cast<uint8_t>(FBits | (1u << p));
        }
    }
    constexpr bool Contains(TLogProperty p) const { return (FBits >> p) & 1u; }
    constexpr uint8_t Bits() const { return FBits; }
    friend constexpr bool operator==(TLogProperties, TLogProperties) = default;

private:
    uint8_t FBits = 0;
};

// One log, bound to one file. The file is opened for every event and closed again after it; while the
// registry holds its logs' files (TLogHold), it stays open from one event to the next where the platform
// lets others rename, delete and replace it, and each event takes its lock and checks its name anew.
class TLogInstance {
public:
    TLogInstance(const std::string& LogName, const std::string& FileName);
    virtual ~TLogInstance();
    TLogInstance(const TLogInstance&) = delete;
    TLogInstance& operator=(const TLogInstance&) = delete;

    // Writes one line. Takes no lock of its own: the registry wraps it in the lock of its lock type.
    void LogEvent(const std::string& Event, TLogType LogType);
    // Writes the lines one after the other, the file as each of them would find it after the one before,
    // as many as that allows in one write.
    void LogEvents(const std::string* Events, size_t Count, TLogType LogType);

    void InitializeThreadCheck(TLogLockType LockType);
    void FinalizeThreadCheck(TLogLockType LockType);

    const std::string& LogName() const { return FLogName; }
    void SetLogName(const std::string& Value) { FLogName = Value; }
    const std::string& FileName() const { return FFileName; }
    // Also recomputes the machine-wide mutex name; a stream that is open stays as it is.
    void SetFileName(const std::string& Value);
    uint32_t SizeLimit() const { return FSizeLimit; }
    void SetSizeLimit(uint32_t Value) { FSizeLimit = Value; }
    int32_t MaxFiles() const { return FMaxFiles; }
    void SetMaxFiles(int32_t Value) { FMaxFiles = Value; }
    TLogProperties LogProperties() const { return FLogProperties; }
    void SetLogProperties(TLogProperties Value) { FLogProperties = Value; }
    const std::string& LogDelimiter() const { return FLogDelimiter; }
    void SetLogDelimiter(const std::string& Value) { FLogDelimiter = Value; }
    // "CSL_MUTEX_" followed by the file name with every backslash removed.
    std::string MutexName() const;
    // How long an event waits for a file that another writer holds (another process, or a stream of this
    // one) before it fails with the open error: kHeldFileWait unless set.
    std::chrono::milliseconds HeldFileWait() const { return FHeldFileWait; }
    void SetHeldFileWait(std::chrono::milliseconds Value) { FHeldFileWait = Value; }

    static constexpr std::chrono::milliseconds kHeldFileWait{5000};

    // Whether the file may stay open between events; false closes it at once.
    void SetHolding(bool Value);

private:
    void OpenLogFile();
    void OpenLogFileOnce();
    void OpenHeldFile(platform::FileSystem& fs);
    bool RotationStillRefused();
    void AppendTimestamp(std::string& out);
    bool FileIsThere(platform::FileSystem& fs) const;
    void CreateLogFileIfMissing(platform::FileSystem& fs) const;
    void CloseLogFile();
    void CheckSizeLimit();
    void DeleteOldLogFiles();
    std::unique_ptr<platform::NamedMutex> AcquireLogMutex();
    void WritePiece(const char* data, size_t size);
    size_t LogSome(const std::string* Events, size_t Count, TLogType LogType);
    void AppendLine(std::string& line, const std::string& Event, TLogType LogType);

    std::string FLogName;
    std::string FFileName;
    // Whether FFileName names a folder: settled when the name is set, not on every line.
    bool FHasFolder = false;
    std::string FUserName;
    int32_t FMaxFiles = 0;
    std::unique_ptr<platform::NamedMutex> FLogMutex;
    std::string FMutexName;
    int32_t FModulePID = 0;
    uint32_t FSizeLimit = 0;
    std::string FModuleName;
    std::unique_ptr<platform::FileStream> FFileStream;
    std::string FLogDelimiter;
    std::string FComputerName;
    std::mutex FLogCRSection;
    TLogProperties FLogProperties;
    // The file's length when the stream was opened (-1 with no stream), and the line being composed,
    // whose buffer is kept from one event to the next.
    int64_t FOpenLength = -1;
    std::string FLine;
    std::chrono::milliseconds FHeldFileWait = kHeldFileWait;
    // The time of the event being written, read once for its timestamp and its rotation.
    platform::LocalDateTime FEventTime{};
    // The last timestamp laid out, for the time and separators it was laid out with: the lines of one
    // millisecond share it.
    platform::LocalDateTime FStampTime{-1, 0, 0, 0, 0, 0, 0};
    std::string FStampDateSeparator;
    std::string FStampTimeSeparator;
    std::string FStampText;
    // A rotation refused because this second's rotated name is already taken: until the second or the log
    // folder's entries change, another attempt would be refused again and the retention scan would find
    // what it found, so both are left out. The second, the folder's time after the scan, and whether that
    // time is the held folder's own (ChangeTime) or the last-write time that its path gives.
    bool FRotationTaken = false;
    bool FTakenInHeldFolder = false;
    platform::LocalDateTime FTakenSecond{};
    uint64_t FFolderTimeAfterScan = 0;
    // While holding: the log's folder and its live file, held open between events (the file goes first),
    // and whether the folder refused to be held, which leaves this hold to the plain path.
    bool FHolding = false;
    bool FHoldRefused = false;
    std::unique_ptr<platform::LogFolder> FHeldFolder;
    std::unique_ptr<platform::HeldLogFile> FHeldFile;
};

// The registry of logs, reached through SimpleLog().
class TSimpleLog {
public:
    TSimpleLog() = default;
    virtual ~TSimpleLog() = default;
    TSimpleLog(const TSimpleLog&) = delete;
    TSimpleLog& operator=(const TSimpleLog&) = delete;

    // Returns the log of that name, creating it when there is none. For an existing log only its file name
    // changes; the other arguments are ignored.
    TLogInstance* RegisterLog(const std::string& LogName, const std::string& FileName, uint32_t SizeLimit,
                              int32_t MaxFiles, TLogProperties LogProperties, const std::string& LogDelimiter);
    void UnRegisterLog(const std::string& LogName);

    // Raises Exception "Log \"<name>\" is not registered" for an unknown name (compared case-sensitively).
    void LogEvent(const std::string& LogName, const std::string& Event, TLogType LogType);
    void LogError(const std::string& LogName, const std::string& Event) { LogEvent(LogName, Event, ltError); }
    void LogWarning(const std::string& LogName, const std::string& Event) { LogEvent(LogName, Event, ltWarning); }
    void LogHint(const std::string& LogName, const std::string& Event) { LogEvent(LogName, Event, ltHint); }
    void LogInfo(const std::string& LogName, const std::string& Event) { LogEvent(LogName, Event, ltInfo); }
    // LogEvent for each of the events in turn, under one taking of the lock.
    void LogEvents(const std::string& LogName, const std::string* Events, size_t Count, TLogType LogType);

    // The registered log of that name, or null.
    const TLogInstance* FindLog(const std::string& LogName) const { return Find(LogName); }

    TLogLockType LockType() const { return FLockType; }
    void SetLockType(TLogLockType Value) { FLockType = Value; }

    // Holds open: while at least one hold is open, every log keeps its file open between events. The last
    // EndHold closes every file. TLogHold pairs them.
    void BeginHold();
    void EndHold();

private:
    TLogInstance* Find(const std::string& LogName) const;

    std::vector<std::unique_ptr<TLogInstance>> FLogList;
    TLogLockType FLockType = ltNone;
    int FHoldCount = 0;
};

// The process-wide registry, created by the first call.
TSimpleLog& SimpleLog();
// Destroys the registry and every log in it; the program calls it at shutdown, after the main window is
// gone. A later SimpleLog() starts a new, empty registry.
void FreeSimpleLog();

// Keeps the files of the registry's logs open between events for its lifetime: a pass, whose lines follow
// one another closely. Nothing is held while the program waits for a user.
class TLogHold {
public:
    explicit TLogHold(TSimpleLog& Registry) : FRegistry(Registry) { FRegistry.BeginHold(); }
    ~TLogHold() { FRegistry.EndHold(); }
    TLogHold(const TLogHold&) = delete;
    TLogHold& operator=(const TLogHold&) = delete;

private:
    TSimpleLog& FRegistry;
};

// The line's timestamp "dd/mm/yyyy hh:nn:ss:zzz" with the given separators in place of "/" and ":".
std::string FormatLogTimestamp(const platform::LocalDateTime& t, const std::string& DateSeparator,
                               const std::string& TimeSeparator);
// The stamp of a rotated file's name: "yyyymmddThhnnss".
std::string FormatRotationStamp(const platform::LocalDateTime& t);

// The clock the log reads: the platform's local time, unless a test puts another in place with a
// ScopedOverride.
using LogClock = platform::LocalDateTime (*)();
extern platform::OverridePoint<LogClock> TheLogClock;

} // namespace pardova
