#include "windows/common/program_icon.h"

// The icon's resource file is compiled into this static library, where no
// symbol of it is referenced: it must be registered by hand, or the linker
// leaves it out of every program. Q_INIT_RESOURCE works at global scope only.
static void RegisterProgramIconResource() {
    Q_INIT_RESOURCE(program_icon);
}

namespace kalvero {

QIcon ProgramIcon() {
    static const bool registered = (RegisterProgramIconResource(), true);
    (void)registered;
    // The bitmaps are drawn from kalvero.svg; they serve where no SVG image
    // plug-in is installed.
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/kalvero-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kalvero
