#include "app/core/FileRoutines.h"

#include "log/core/SimpleLog.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"
#include "platform/core/Process.h"

#include <limits>

namespace pardova {

using namespace platform;

bool FolderExists(const std::string& Path) {
    uint32_t error = 0;
    const std::optional<uint32_t> attributes = Fs().GetAttributes(Path, &error);
    if (!attributes) {
        return !(error == kErrFileNotFound || error == kErrPathNotFound || error == kErrBadNetPath ||
                 error == kErrInvalidName);
    }
    if ((*attributes & kAttrDirectory) == 0) {
        return false;
    }
    if ((*attributes & kAttrReparsePoint) != 0) {
        uint32_t openError = 0;
        return Fs().CanOpenForReading(Path, true, &openError);
    }
    return true;
}

bool PlainFileExists(const std::string& Path) {
    uint32_t error = 0;
    const std::optional<uint32_t> attributes = Fs().GetAttributes(Path, &error);
    return detail::PlainFileExistsGiven(Path, attributes, error);
}

bool detail::PlainFileExistsGiven(const std::string& Path, std::optional<uint32_t> attributes, uint32_t error) {
    if (!attributes) {
        if (error == kErrFileNotFound || error == kErrPathNotFound || error == kErrInvalidName) {
            return false;
        }
        // The attributes cannot be read, yet the folder's listing may still show the file.
        const std::unique_ptr<DirectorySearch> search = Fs().FindFirst(Path);
        DirEntry entry;
        return search != nullptr && search->Next(entry) && (entry.Attributes & kAttrDirectory) == 0;
    }
    if ((*attributes & kAttrDirectory) != 0) {
        return false;
    }
    if ((*attributes & kAttrReparsePoint) == 0) {
        return true;
    }
    uint32_t openError = 0;
    return Fs().CanOpenForReading(Path, false, &openError) || openError == kErrSharingViolation;
}

bool MakeFolderPath(const std::string& Path) {
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
    if (isTop || FolderExists(path)) {
        return true;
    }
    const std::string parent = FolderPart(path);
    if (parent == path) {
        return true;
    }
    return MakeFolderPath(parent) && Fs().MakeDirectory(path);
}

std::string ExpandPath(const std::string& Path) { return Fs().GetFullPath(Path); }

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
