#include "windows/common/window_font.h"

#include <QStringList>

namespace kalvero {

QFont WindowFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")});
    // Liberation Sans at 11 pixels cuts off "Viewer (.spo)" and needs three
    // lines for the shut-down caption; at 10 pixels (7.5 points at 96 DPI)
    // all fit. Given in points, the font grows with the screen's logical DPI
    // as the controls' twips do.
    font.setPointSizeF(7.5);
    return font;
}

} // namespace kalvero
