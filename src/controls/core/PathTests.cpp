#include "controls/core/PathTests.h"

#include "platform/core/FileSystem.h"

#include <cstdint>
#include <string_view>

namespace pardova {

bool IsExistingFolder(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    platform::FileSystem& fs = platform::Fs();
    uint32_t error = 0;
    const std::optional<uint32_t> attributes = fs.GetAttributes(path, &error);
    if (!attributes) {
        // A device that is not ready holds no folder either. Any other failure: the entry may well exist
        // but be unreadable to us; a picker or a run that goes on finds out.
        return !(platform::IsNotThereError(error) || error == platform::kErrNotReady);
    }
    if ((*attributes & platform::kAttrReparsePoint) != 0) {
        // A link counts only when its target is reachable.
        uint32_t openError = 0;
        if (!fs.CanOpenForReading(path, /*backupSemantics=*/true, &openError)) {
            return false;
        }
    }
    return (*attributes & platform::kAttrDirectory) != 0;
}

bool IsValidFileName(const std::string& name, platform::PathStyle style) {
    if (name.empty()) {
        return false;
    }
    const std::string_view forbidden = style == platform::PathStyle::Windows ? "<>\"|*?/" : "<>\"|*?";
    return name.find_first_of(forbidden) == std::string::npos && name.find('\0') == std::string::npos;
}

} // namespace pardova
