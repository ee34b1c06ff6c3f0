#pragma once
// The path tests that the folder and file fields and the folder picker share. NamePart and
// WithTrailingBackslash live in Path.h.

#include "platform/core/Path.h"

#include <string>

namespace pardova {

// Whether the path names an existing folder, read through Fs(). A failed attribute read means "no
// folder" for a missing file or path, a device that is not ready, a bad network path and an invalid
// name, and "a folder" for any other error (it may exist but be unreadable). A link counts only when its
// target opens. An empty path is no folder.
bool IsExistingFolder(const std::string& path);

// Whether the name is non-empty and free of the characters that no file name may hold: < > " | * ? and,
// in the Windows style, "/". The separators of the style ("\" and ":" on Windows, "/" on POSIX) are
// allowed, so a full path passes.
bool IsValidFileName(const std::string& name, platform::PathStyle style = platform::kNativePathStyle);

} // namespace pardova
