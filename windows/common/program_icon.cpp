#include "windows/common/program_icon.h"

namespace kalvero {

QIcon ProgramIcon() {
    // The bitmaps are drawn from kalvero.svg; they serve where no SVG image
    // plug-in is installed.
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/kalvero-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kalvero
