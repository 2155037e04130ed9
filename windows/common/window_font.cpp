#include "windows/common/window_font.h"

#include <QStringList>

namespace kalvero {

QFont WindowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    // Liberation Sans at 11 pixels (8.25 points) cuts off "Viewer (.spo)" and
    // needs three lines for the shut-down caption; at 10 pixels all fit.
    font.setPixelSize(10);
    return font;
}

} // namespace kalvero
