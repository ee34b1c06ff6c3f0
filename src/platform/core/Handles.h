#pragma once
// How many handles a pass may hold open at once. Where the platform limits a process's open files (POSIX),
// a walk that held a few per level of the tree would run out of them in a deep tree; the walk and the
// pending copies of a pass take their shares from here, leaving room for the copy in progress and the log.

#include <cstddef>
#include <cstdint>

namespace pardova::platform {

// How many copies a pass may keep pending (written, not yet flushed) at once: each holds its file and, at
// most, its folder open.
size_t PendingCopyBound();

// How many folder handles and directory searches a walk may hold at once: what the process's limit of open
// files leaves after the files open now, the pending copies' share and a reserve for the copy in progress
// and the log. Asked once per pass. Very large where the platform sets no such limit; 0 when nothing is
// left (the walk then holds the least it can and copes with the opens that fail).
size_t WalkHandleBudget();

// Whether an error code means that the process (or the system) has no handle left to open one more file.
bool IsOutOfHandlesError(uint32_t error);

} // namespace pardova::platform
