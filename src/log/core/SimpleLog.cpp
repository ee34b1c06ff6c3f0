#include "log/core/SimpleLog.h"

#include "platform/core/Exceptions.h"
#include "platform/core/Locale.h"
#include "platform/core/Path.h"
#include "platform/core/ScopeGuard.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace pardova {

namespace {

platform::LocalDateTime Now() { return TheLogClock.Get()(); }

bool SameSecond(const platform::LocalDateTime& a, const platform::LocalDateTime& b) {
    return a.Second == b.Second && a.Minute == b.Minute && a.Hour == b.Hour && a.Day == b.Day && a.Month == b.Month &&
           a.Year == b.Year;
}

// The length CheckSizeLimit finds when the rotation is known to be refused again: no rotation is tried.
constexpr int64_t kRotationRefused = -2;

// Appends value as at least `digits` decimal digits, zero-padded (a wider value keeps all its digits).
// Every line carries seven of these, so the common case skips the formatted-output machinery.
void AppendPadded(std::string& out, int value, int digits) {
    if (value < 0 || digits > 10) {
        char buffer[32];
        const int n = std::snprintf(buffer, sizeof buffer, "%.*d", digits, value);
        out.append(buffer, static_cast<size_t>(n > 0 ? n : 0));
        return;
    }
    char buffer[16];
    char* end = buffer + sizeof buffer;
    char* p = end;
    auto rest = static_cast<unsigned>(value);
    do {
        *--p = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    while (end - p < digits) {
        *--p = '0';
    }
    out.append(p, static_cast<size_t>(end - p));
}

// Creates a folder with every missing parent. Failures are left for the file's creation to report: any
// entry that stands under a name stops the chain there, a lone relative name is made in the current folder,
// and a folder whose parent could not be made is tried all the same.
void MakeLogFolder(const std::string& folder) {
    platform::FolderChainRules rules;
    rules.IsThere = [](const std::string& path) {
        uint32_t error = 0;
        return platform::Fs().GetAttributes(path, &error).has_value();
    };
    rules.DropEveryTrailingDelimiter = true;
    rules.ColonEndsTheChain = true;
    rules.LoneNameRaises = false;
    rules.StopAtFailedParent = false;
    platform::MakeFolderChain(folder, rules);
}

const char* TypeWord(TLogType type) {
    switch (type) {
    case ltError:
        return "Error";
    case ltWarning:
        return "Warning";
    case ltHint:
        return "Hint";
    case ltInfo:
        return "Info";
    }
    return "";
}

// The name of a rotated file is the live file's name without its extension, "_", the stamp and the
// extension: log.txt gives log_20240131T090507.txt. Retention looks for that same stem followed by "_".
std::string StemOf(const std::string& name) {
    return name.substr(0, name.size() - platform::ExtensionPart(name).size());
}

} // namespace

namespace {

// The timestamp appended to text already there, so that a line is composed in one buffer.
void AppendLogTimestamp(std::string& out, const platform::LocalDateTime& t, const std::string& DateSeparator,
                        const std::string& TimeSeparator) {
    const auto within = [](int value, int top) { return value >= 0 && value <= top; };
    // The usual time: every field fits its width, so the stamp is composed in place and appended once.
    if (within(t.Year, 9999) && within(t.Month, 99) && within(t.Day, 99) && within(t.Hour, 99) &&
        within(t.Minute, 99) && within(t.Second, 99) && within(t.Millisecond, 999) && DateSeparator.size() <= 8 &&
        TimeSeparator.size() <= 8) {
        char buffer[64];
        char* p = buffer;
        const auto digits = [&p](int value, int width) {
            for (int i = width; i-- > 0;) {
                p[i] = static_cast<char>('0' + value % 10);
                value /= 10;
            }
            p += width;
        };
        const auto separator = [&p](const std::string& text) {
            std::memcpy(p, text.data(), text.size());
            p += text.size();
        };
        digits(t.Day, 2);
        separator(DateSeparator);
        digits(t.Month, 2);
        separator(DateSeparator);
        digits(t.Year, 4);
        *p++ = ' ';
        digits(t.Hour, 2);
        separator(TimeSeparator);
        digits(t.Minute, 2);
        separator(TimeSeparator);
        digits(t.Second, 2);
        separator(TimeSeparator);
        digits(t.Millisecond, 3);
        out.append(buffer, static_cast<size_t>(p - buffer));
        return;
    }
    AppendPadded(out, t.Day, 2);
    out += DateSeparator;
    AppendPadded(out, t.Month, 2);
    out += DateSeparator;
    AppendPadded(out, t.Year, 4);
    out += ' ';
    AppendPadded(out, t.Hour, 2);
    out += TimeSeparator;
    AppendPadded(out, t.Minute, 2);
    out += TimeSeparator;
    AppendPadded(out, t.Second, 2);
    out += TimeSeparator;
    AppendPadded(out, t.Millisecond, 3);
}

} // namespace

std::string FormatLogTimestamp(const platform::LocalDateTime& t, const std::string& DateSeparator,
                               const std::string& TimeSeparator) {
    std::string out;
    out.reserve(23 + 2 * DateSeparator.size() + 3 * TimeSeparator.size());
    AppendLogTimestamp(out, t, DateSeparator, TimeSeparator);
    return out;
}

std::string FormatRotationStamp(const platform::LocalDateTime& t) {
    std::string out;
    AppendPadded(out, t.Year, 4);
    AppendPadded(out, t.Month, 2);
    AppendPadded(out, t.Day, 2);
    out += 'T';
    AppendPadded(out, t.Hour, 2);
    AppendPadded(out, t.Minute, 2);
    AppendPadded(out, t.Second, 2);
    return out;
}

platform::OverridePoint<LogClock> TheLogClock{&platform::LocalNow};

// ---- TLogInstance ------------------------------------------------------------------------------------

TLogInstance::TLogInstance(const std::string& LogName, const std::string& FileName) {
    SetFileName(FileName);
    FComputerName = platform::GetComputerNameText();
    FModuleName = platform::NamePart(platform::GetModulePath());
    FModulePID = static_cast<int32_t>(platform::CurrentProcessId());
    FUserName = platform::GetUserNameText();
    FLogName = LogName;
}

TLogInstance::~TLogInstance() { CloseLogFile(); }

void TLogInstance::SetFileName(const std::string& Value) {
    std::string mutexName;
    mutexName.reserve(Value.size());
    for (const char c : Value) {
        if (c != '\\') {
            mutexName += c;
        }
    }
    FMutexName = std::move(mutexName);
    FFileName = Value;
    FHasFolder = !platform::FolderPart(FFileName).empty();
    // A held file and folder belong to the old name: the next event opens the new one.
    if (FHolding) {
        SetHolding(false);
        SetHolding(true);
    }
}

void TLogInstance::SetHolding(bool Value) {
    FHolding = Value;
    FHoldRefused = false;
    FRotationTaken = false;
    CloseLogFile();
    FHeldFolder.reset();
}

std::string TLogInstance::MutexName() const { return "CSL_MUTEX_" + FMutexName; }

void TLogInstance::InitializeThreadCheck(TLogLockType LockType) {
    switch (LockType) {
    case ltNone:
        break;
    case ltProcess:
        FLogCRSection.lock();
        break;
    case ltMachine:
        FLogMutex = AcquireLogMutex();
        break;
    }
}

void TLogInstance::FinalizeThreadCheck(TLogLockType LockType) {
    switch (LockType) {
    case ltNone:
        break;
    case ltProcess:
        FLogCRSection.unlock();
        break;
    case ltMachine:
        FLogMutex.reset();
        break;
    }
}

std::unique_ptr<platform::NamedMutex> TLogInstance::AcquireLogMutex() {
    return platform::NamedMutex::Acquire(MutexName());
}

namespace {

// Whether a refused open or create means that another writer has the file at this moment: holds it, or has
// just rotated away the file that this event created or found a moment before.
bool HeldByAnotherWriter(const platform::EFileStreamError& e) {
    return e.ErrorCode() == platform::kErrSharingViolation || e.ErrorCode() == platform::kErrLockViolation ||
           (e.ErrorCode() == platform::kErrFileNotFound && dynamic_cast<const platform::EFOpenError*>(&e) != nullptr);
}

} // namespace

// Another writer holds the file for one line at a time, which takes microseconds: the event waits for it,
// looking again after pauses that grow from a tenth of a millisecond to two, so that it finds one of the
// other writer's gaps between lines, and fails as the open does only when the file stays held past the
// deadline.
void TLogInstance::OpenLogFile() {
    if (!FHasFolder) {
        throw platform::EInOutError("Unable to create directory", 0);
    }
    try {
        OpenLogFileOnce();
        return;
    } catch (const platform::EFileStreamError& e) {
        if (!HeldByAnotherWriter(e) || FHeldFileWait.count() <= 0) {
            throw;
        }
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + FHeldFileWait;
    std::chrono::microseconds pause{100};
    for (;;) {
        const Clock::time_point now = Clock::now();
        std::this_thread::sleep_for(
            std::min<Clock::duration>(pause, deadline > now ? deadline - now : Clock::duration{}));
        pause = std::min(pause * 2, std::chrono::microseconds{2000});
        try {
            OpenLogFileOnce();
            return;
        } catch (const platform::EFileStreamError& e) {
            if (!HeldByAnotherWriter(e) || Clock::now() >= deadline) {
                throw;
            }
        }
    }
}

void TLogInstance::OpenLogFileOnce() {
    platform::FileSystem& fs = platform::Fs();
    if (FHolding && !FHoldRefused && platform::LogFilesMayBeHeld()) {
        OpenHeldFile(fs);
        return;
    }
    // Held from before another file system was put in place: the plain path starts afresh.
    if (FHeldFolder) {
        CloseLogFile();
        FHeldFolder.reset();
        FRotationTaken = false;
    }
    // The usual case is an existing file in an existing folder: open it straight away, and create the folder
    // chain and the file only when that fails because the file is not there.
    try {
        FFileStream = fs.OpenStream(FFileName, platform::StreamMode::OpenReadWriteDenyWrite);
    } catch (const platform::EFOpenError& e) {
        // A file that was missing a moment ago and is there now was just started by another writer (after
        // its rotation): it is opened below like any other.
        if (e.ErrorCode() != platform::kErrFileNotFound && FileIsThere(fs)) {
            throw;
        }
        MakeLogFolder(platform::FolderPart(FFileName));
        CreateLogFileIfMissing(fs);
        // Refused as missing when another writer has rotated the file away in between: OpenLogFile looks again.
        FFileStream = fs.OpenStream(FFileName, platform::StreamMode::OpenReadWriteDenyWrite);
    }
    // The end is the file's length at this moment, which the size check needs: no second look at it.
    FOpenLength = FFileStream->Seek(0, platform::SeekOrigin::End);
}

// The held file serves the event when the log's name still leads to it; otherwise (renamed, deleted or
// replaced since the last event) the file at the path is opened in the held folder, or made first as on
// the plain path.
void TLogInstance::OpenHeldFile(platform::FileSystem& fs) {
    if (FHeldFile) {
        // Refused while another writer holds the file: OpenLogFile waits for it, as for a refused open.
        FHeldFile->Lock();
        if (RotationStillRefused()) {
            FOpenLength = kRotationRefused;
            return;
        }
        const int64_t length = FHeldFile->LengthIfStillNamed();
        if (length >= 0) {
            FOpenLength = length;
            return;
        }
        FHeldFile.reset();
    }
    const std::string name = platform::NamePart(FFileName);
    if (FHeldFolder) {
        try {
            FHeldFile = FHeldFolder->OpenFile(name, FFileName, &FOpenLength);
            return;
        } catch (const platform::EFOpenError& e) {
            if (e.ErrorCode() != platform::kErrFileNotFound && FileIsThere(fs)) {
                throw;
            }
        }
    }
    // Made on the paths as the plain rules make it; the folder is then held afresh, so that a folder made
    // anew at the path since is the one held.
    const std::string folder = platform::FolderPart(FFileName);
    MakeLogFolder(folder);
    CreateLogFileIfMissing(fs);
    FHeldFolder = platform::OpenLogFolder(folder);
    if (!FHeldFolder) {
        FHoldRefused = true;
        FFileStream = fs.OpenStream(FFileName, platform::StreamMode::OpenReadWriteDenyWrite);
        FOpenLength = FFileStream->Seek(0, platform::SeekOrigin::End);
        return;
    }
    FHeldFile = FHeldFolder->OpenFile(name, FFileName, &FOpenLength);
}

// Whether this event's rotation would be refused again as the last one was: the same second, and no entry
// of the held folder changed since (which also means that the log's name still leads to the held file).
bool TLogInstance::RotationStillRefused() {
    if (!FRotationTaken || !FTakenInHeldFolder || FSizeLimit == 0 || !SameSecond(FEventTime, FTakenSecond)) {
        return false;
    }
    const std::optional<uint64_t> changed = FHeldFolder->ChangeTime();
    return changed && *changed == FFolderTimeAfterScan;
}

// A file that another writer has just started keeps its lines: the new file is made only where no entry
// stands, and nothing that is a file, or was a moment ago, is ever created over (which would empty it).
// What stands there without being a file is a link whose target is missing, which is created through as the
// plain rules say, or something that is no file (a folder), whose creation is refused.
void TLogInstance::CreateLogFileIfMissing(platform::FileSystem& fs) const {
    if (FileIsThere(fs)) {
        return;
    }
    try {
        fs.OpenStream(FFileName, platform::StreamMode::CreateNewNoShare).reset();
    } catch (const platform::EFCreateError& e) {
        if (e.ErrorCode() != platform::kErrAlreadyExists && e.ErrorCode() != platform::kErrFileExists) {
            throw;
        }
        const auto data = fs.GetAttributeData(FFileName);
        const bool notAFile =
            data && ((data->Attributes & platform::kAttrDirectory) != 0 ||
                     ((data->Attributes & platform::kAttrReparsePoint) != 0 && !fs.GetIdentity(FFileName).has_value()));
        if (notAFile) {
            fs.OpenStream(FFileName, platform::StreamMode::CreateNoShare).reset();
        }
    }
}

// Whether a file (not a folder) stands under the log's name. A link counts by what it leads to: one whose
// target is missing is followed when the file is created, so its target becomes the log.
bool TLogInstance::FileIsThere(platform::FileSystem& fs) const {
    const auto data = fs.GetAttributeData(FFileName);
    if (!data || (data->Attributes & platform::kAttrDirectory) != 0) {
        return false;
    }
    return (data->Attributes & platform::kAttrReparsePoint) == 0 || fs.GetIdentity(FFileName).has_value();
}

void TLogInstance::CloseLogFile() {
    FFileStream.reset();
    FHeldFile.reset();
    FOpenLength = -1;
}

void TLogInstance::CheckSizeLimit() {
    if (FSizeLimit == 0) {
        return;
    }
    if (FOpenLength == kRotationRefused) {
        return; // the line goes to the live file, as after a refused rename
    }
    const int64_t length = FOpenLength >= 0 ? FOpenLength : FFileStream->Size();
    if (length <= 0 || static_cast<uint64_t>(length) <= static_cast<uint64_t>(FSizeLimit) * 1024u) {
        return;
    }
    platform::FileSystem& fs = platform::Fs();
    const std::string folder = platform::FolderPart(FFileName);
    if (FRotationTaken && !FTakenInHeldFolder && SameSecond(FEventTime, FTakenSecond)) {
        const auto folderData = fs.GetAttributeData(folder);
        if (folderData && folderData->LastWriteTime == FFolderTimeAfterScan) {
            return; // the line goes to the live file, as after a refused rename
        }
    }
    FRotationTaken = false;
    const std::string stamp = FormatRotationStamp(FEventTime);
    CloseLogFile();
    const std::string name = platform::NamePart(FFileName);
    const std::string ext = platform::ExtensionPart(name);
    const std::string rotated = folder + StemOf(name) + "_" + stamp + ext;
    // A refused rename (the stamped name exists, the file is held) leaves the file live; the next event
    // tries again.
    const bool moved = fs.MoveNoReplace(FFileName, rotated);
    const bool nameTaken = !moved && fs.GetAttributeData(rotated).has_value();
    DeleteOldLogFiles();
    if (nameTaken && !FHeldFolder) {
        // A folder's time tells of a later change only once the clock has moved on past the file system's
        // granularity; while its last change is that recent, every event looks again as the plain rules do.
        constexpr uint64_t kGranularity = uint64_t{50} * 10000; // 50 ms in 100-ns units
        const auto folderData = fs.GetAttributeData(folder);
        if (folderData && folderData->LastWriteTime + kGranularity < platform::CurrentFileTime()) {
            FRotationTaken = true;
            FTakenInHeldFolder = false;
            FTakenSecond = FEventTime;
            FFolderTimeAfterScan = folderData->LastWriteTime;
        }
    }
    OpenLogFile();
    // The held folder's own time, read without a path: the events of this second then only compare it.
    if (nameTaken && FHeldFolder && FHeldFile) {
        if (const std::optional<uint64_t> changed = FHeldFolder->SettledChangeTime()) {
            FRotationTaken = true;
            FTakenInHeldFolder = true;
            FTakenSecond = FEventTime;
            FFolderTimeAfterScan = *changed;
        }
    }
}

void TLogInstance::DeleteOldLogFiles() {
    if (FMaxFiles <= 0) {
        return;
    }
    const std::string folder = platform::FolderPart(FFileName);
    const std::string name = platform::NamePart(FFileName);
    const std::string prefix = StemOf(name) + "_";
    auto search = platform::Fs().FindFirst(folder + "*" + platform::ExtensionPart(name));
    if (!search) {
        return;
    }
    std::vector<std::string> names;
    platform::DirEntry entry;
    constexpr uint32_t kSkipped = platform::kAttrDirectory | platform::kAttrHidden | platform::kAttrSystem;
    while (search->Next(entry)) {
        if ((entry.Attributes & kSkipped) == 0 && entry.Name.compare(0, prefix.size(), prefix) == 0) {
            names.push_back(entry.Name);
        }
    }
    search.reset();
    if (names.size() <= static_cast<size_t>(FMaxFiles)) {
        return;
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return platform::CompareTextLocale(a, b) < 0; });
    for (size_t i = names.size() - static_cast<size_t>(FMaxFiles); i-- > 0;) {
        platform::Fs().RemoveFile(folder + names[i]);
    }
}

void TLogInstance::WritePiece(const char* data, size_t size) {
    // A failed or short write is not reported: the line may be cut, and the next line follows it.
    if (size == 0) {
        return;
    }
    if (FHeldFile) {
        FHeldFile->Append(data, size);
    } else if (FFileStream) {
        FFileStream->Write(data, size);
    }
}

void TLogInstance::AppendTimestamp(std::string& out) {
    const platform::DateTimeSeparators separators = platform::CurrentDateTimeSeparators();
    const std::string& date = separators.Date;
    const std::string& time = separators.Time;
    const platform::LocalDateTime& t = FEventTime;
    const platform::LocalDateTime& s = FStampTime;
    if (t.Millisecond != s.Millisecond || !SameSecond(t, s) || date != FStampDateSeparator ||
        time != FStampTimeSeparator) {
        FStampText.clear();
        AppendLogTimestamp(FStampText, t, date, time);
        FStampTime = t;
        FStampDateSeparator = date;
        FStampTimeSeparator = time;
    }
    out += FStampText;
}

void TLogInstance::AppendLine(std::string& line, const std::string& Event, TLogType LogType) {
    for (uint8_t p = lpTimestamp; p <= lpModuleName; ++p) {
        const auto property = static_cast<TLogProperty>(p);
        if (!FLogProperties.Contains(property)) {
            continue;
        }
        switch (property) {
        case lpTimestamp:
            AppendTimestamp(line);
            break;
        case lpType:
            line += TypeWord(LogType);
            break;
        case lpComputername:
            line += FComputerName;
            break;
        case lpUsername:
            line += FUserName;
            break;
        case lpPID:
            line += std::to_string(FModulePID);
            break;
        case lpTID:
            line += std::to_string(platform::CurrentThreadId());
            break;
        case lpModuleName:
            line += FModuleName;
            break;
        }
        line += FLogDelimiter;
    }
    line += Event;
    line += "\r\n";
}

void TLogInstance::LogEvent(const std::string& Event, TLogType LogType) { (void)LogSome(&Event, 1, LogType); }

void TLogInstance::LogEvents(const std::string* Events, size_t Count, TLogType LogType) {
    for (size_t done = 0; done < Count;) {
        done += LogSome(Events + done, Count - done, LogType);
    }
}

namespace {
// The most bytes that events written together hand to the file in one write.
constexpr size_t kMostTogether = size_t{64} * 1024;
} // namespace

// Writes the first event as LogEvent does and, with it in the same write, those after it that would find
// the file as the first leaves it: none of them is due to rotate it (the file stays within the limit with
// every line but the last), and nobody else can write or move the file between them, since this event
// holds the file's lock and the name is checked before the write. Gives how many it wrote.
size_t TLogInstance::LogSome(const std::string* Events, size_t Count, TLogType LogType) {
    FEventTime = Now();
    try {
        OpenLogFile();
    } catch (...) {
        // Refused: a held file is closed as the plain path's is.
        CloseLogFile();
        throw;
    }
    // The file closes on every way out of here, but for a held file after a whole event: that one only
    // gives its lock back.
    bool whole = false;
    const platform::ScopeGuard close([this, &whole] {
        if (whole && FHeldFile) {
            FHeldFile->Unlock();
        } else {
            CloseLogFile();
        }
    });
    CheckSizeLimit();
    // The whole line goes to the file in one write: the bytes are those of its pieces in order, and
    // no other writer can ever land inside it.
    std::string& line = FLine;
    line.clear();
    AppendLine(line, Events[0], LogType);
    size_t written = 1;
    // The length the next event would find: known only where the first event found the file's own length.
    if (FOpenLength >= 0) {
        const uint64_t limit = static_cast<uint64_t>(FSizeLimit) * 1024u;
        uint64_t length = static_cast<uint64_t>(FOpenLength) + line.size();
        while (written < Count && line.size() < kMostTogether && (FSizeLimit == 0 || length <= limit)) {
            FEventTime = Now();
            const size_t before = line.size();
            AppendLine(line, Events[written], LogType);
            length += line.size() - before;
            ++written;
        }
    }
    WritePiece(line.data(), line.size());
    whole = true;
    return written;
}

// ---- TSimpleLog --------------------------------------------------------------------------------------

TLogInstance* TSimpleLog::Find(const std::string& LogName) const {
    for (const auto& log : FLogList) {
        if (log->LogName() == LogName) {
            return log.get();
        }
    }
    return nullptr;
}

TLogInstance* TSimpleLog::RegisterLog(const std::string& LogName, const std::string& FileName, uint32_t SizeLimit,
                                      int32_t MaxFiles, TLogProperties LogProperties, const std::string& LogDelimiter) {
    if (TLogInstance* existing = Find(LogName)) {
        existing->SetFileName(FileName);
        return existing;
    }
    auto log = std::make_unique<TLogInstance>(LogName, FileName);
    log->SetHolding(FHoldCount > 0);
    log->SetSizeLimit(SizeLimit);
    log->SetMaxFiles(MaxFiles);
    log->SetLogProperties(LogProperties);
    log->SetLogDelimiter(LogDelimiter);
    FLogList.push_back(std::move(log));
    return FLogList.back().get();
}

void TSimpleLog::UnRegisterLog(const std::string& LogName) {
    const auto it = std::find_if(FLogList.begin(), FLogList.end(),
                                 [&](const std::unique_ptr<TLogInstance>& log) { return log->LogName() == LogName; });
    if (it != FLogList.end()) {
        FLogList.erase(it);
    }
}

void TSimpleLog::LogEvent(const std::string& LogName, const std::string& Event, TLogType LogType) {
    LogEvents(LogName, &Event, 1, LogType);
}

void TSimpleLog::LogEvents(const std::string& LogName, const std::string* Events, size_t Count, TLogType LogType) {
    TLogInstance* log = Find(LogName);
    if (log == nullptr) {
        throw platform::Exception("Log \"" + LogName + "\" is not registered");
    }
    if (Count == 0) {
        return;
    }
    // The lock released is the one taken, even if LockType were changed while the events run.
    const TLogLockType lock = FLockType;
    log->InitializeThreadCheck(lock);
    const platform::ScopeGuard release([log, lock] { log->FinalizeThreadCheck(lock); });
    log->LogEvents(Events, Count, LogType);
}

void TSimpleLog::BeginHold() {
    if (FHoldCount++ == 0) {
        for (const auto& log : FLogList) {
            log->SetHolding(true);
        }
    }
}

void TSimpleLog::EndHold() {
    if (FHoldCount > 0 && --FHoldCount == 0) {
        for (const auto& log : FLogList) {
            // Not while another thread writes an event of this log.
            log->InitializeThreadCheck(FLockType);
            const platform::ScopeGuard release([&log, this] { log->FinalizeThreadCheck(FLockType); });
            log->SetHolding(false);
        }
    }
}

// ---- the process-wide registry ---------------------------------------------------------------------

namespace {

std::atomic<TSimpleLog*> gSimpleLog{nullptr};
std::mutex gSimpleLogCreation;

// Frees a registry that the program did not free itself, so nothing is left behind at exit.
struct RegistryCleanup {
    ~RegistryCleanup() { FreeSimpleLog(); }
} gRegistryCleanup;

} // namespace

TSimpleLog& SimpleLog() {
    TSimpleLog* log = gSimpleLog.load(std::memory_order_acquire);
    if (log != nullptr) {
        return *log;
    }
    const std::lock_guard<std::mutex> guard(gSimpleLogCreation);
    log = gSimpleLog.load(std::memory_order_relaxed);
    if (log == nullptr) {
        log = new TSimpleLog;
        gSimpleLog.store(log, std::memory_order_release);
    }
    return *log;
}

void FreeSimpleLog() { delete gSimpleLog.exchange(nullptr, std::memory_order_acq_rel); }

} // namespace pardova
