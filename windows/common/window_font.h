// The one font of every window's controls. The windows' geometry was made
// for a narrow 8-point face at 96 DPI; where that face is missing, Liberation
// Sans (Debian's fonts-liberation) at the size that fits every caption
// into its control stands in for it.
#pragma once

#include <QFont>

namespace kalvero {

QFont WindowFont();

} // namespace kalvero
