#include "app/core/FileRoutines.h"

#include "log/core/SimpleLog.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"
#include "platform/core/Process.h"

#include <limits>

namespace pardova {

using namespace platform;

bool FolderExists(FileSystem& fs, const std::string& Path) {
    uint32_t error = 0;
    const std::optional<uint32_t> attributes = fs.GetAttributes(Path, &error);
    if (!attributes) {
        return !IsNotThereError(error);
    }
    if ((*attributes & kAttrDirectory) == 0) {
        return false;
    }
    if ((*attributes & kAttrReparsePoint) != 0) {
        uint32_t openError = 0;
        return fs.CanOpenForReading(Path, true, &openError);
    }
    return true;
}

bool FolderExists(const std::string& Path) { return FolderExists(Fs(), Path); }

bool PlainFileExists(FileSystem& fs, const std::string& Path) {
    uint32_t error = 0;
    const std::optional<uint32_t> attributes = fs.GetAttributes(Path, &error);
    return PlainFileExistsGiven(fs, Path, attributes, error);
}

bool PlainFileExists(const std::string& Path) { return PlainFileExists(Fs(), Path); }

bool MakeFolderPath(FileSystem& fs, const std::string& Path) {
    // A folder is there when FolderExists says so; an empty path and a lone relative name raise, and a
    // parent that could not be made stops the chain.
    FolderChainRules rules;
    rules.IsThere = [&fs](const std::string& folder) { return FolderExists(fs, folder); };
    rules.Fs = &fs;
    return MakeFolderChain(Path, rules);
}

bool MakeFolderPath(const std::string& Path) { return MakeFolderPath(Fs(), Path); }

std::string ExpandPath(FileSystem& fs, const std::string& Path) { return fs.GetFullPath(Path); }

std::string ExpandPath(const std::string& Path) { return ExpandPath(Fs(), Path); }

std::string GetAppDir() { return FolderPart(GetModulePath()); }

void AddToLog(const std::string& Text, int32_t Value) {
    if (Value == std::numeric_limits<int32_t>::max()) {
        SimpleLog().LogInfo("log", Text);
    } else {
        SimpleLog().LogInfo("log", Text + " : " + std::to_string(Value));
    }
}

} // namespace pardova

namespace pardova {

LogSink& RunLog() {
    class ProgramLog final : public LogSink {
    public:
        void Write(const std::string& line) override { AddToLog(line); }
        // The lines AddToLog would write one by one, written together where the log allows it.
        void WriteLines(const std::string* lines, size_t count) override {
            SimpleLog().LogEvents("log", lines, count, ltInfo);
        }
    };
    static ProgramLog log;
    return log;
}

} // namespace pardova
