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
    if (Path.empty()) {
        throw EInOutError("Unable to create directory", static_cast<int>(kErrPathNotFound));
    }
    std::string path = Path;
    if (path.back() == PathDelimiter()) {
        path.pop_back();
    }
    // On Windows a drive ("C:") is shorter than three characters; on POSIX only the root, which has
    // become empty here, is left to stop at.
    const bool isTop = kNativePathStyle == PathStyle::Windows ? path.size() < 3 : path.empty();
    if (isTop || FolderExists(fs, path)) {
        return true;
    }
    const std::string parent = FolderPart(path);
    if (parent == path) {
        return true;
    }
    return MakeFolderPath(fs, parent) && fs.MakeDirectory(path);
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
    };
    static ProgramLog log;
    return log;
}

} // namespace pardova
