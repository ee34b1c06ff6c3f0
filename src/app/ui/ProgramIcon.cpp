#include "app/ui/ProgramIcon.h"

#include <QString>

// The resources live in a static library: naming their initialiser keeps the linker from dropping them.
static void InitProgramResources() { Q_INIT_RESOURCE(pardova); }

namespace pardova {

QIcon ProgramIcon() {
    InitProgramResources();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/pardova/icon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace pardova
