#pragma once
// The program's icon, a folder copied into a second folder, as the window icon of every window it opens.

#include <QIcon>

namespace pardova {

// The icon at every size it is drawn at (16 to 256 pixels), from the program's resources.
QIcon ProgramIcon();

} // namespace pardova
