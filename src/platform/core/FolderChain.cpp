#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "platform/core/Path.h"

namespace pardova::platform {

bool MakeFolderChain(const std::string& folder, const FolderChainRules& rules) {
    if (folder.empty() && rules.LoneNameRaises) {
        throw EInOutError("Unable to create directory", static_cast<int>(kErrPathNotFound));
    }
    std::string path = folder;
    if (rules.DropEveryTrailingDelimiter) {
        while (!path.empty() && IsPathDelimiter(path.back())) {
            path.pop_back();
        }
    } else if (!path.empty() && path.back() == PathDelimiter()) {
        path.pop_back();
    }
    // On Windows a drive ("C:") is shorter than three characters; on POSIX only the root, which has become
    // empty here, is left to stop at.
    const bool atTop = rules.ColonEndsTheChain
                           ? path.empty() || path.back() == ':'
                           : (kNativePathStyle == PathStyle::Windows ? path.size() < 3 : path.empty());
    if (atTop || rules.IsThere(path)) {
        return true;
    }
    const std::string parent = FolderPart(path);
    if (parent == path) {
        return true;
    }
    if (!parent.empty() || rules.LoneNameRaises) {
        const bool parentThere = MakeFolderChain(parent, rules);
        if (!parentThere && rules.StopAtFailedParent) {
            return false;
        }
    }
    return (rules.Fs != nullptr ? *rules.Fs : Fs()).MakeDirectory(path);
}

} // namespace pardova::platform
