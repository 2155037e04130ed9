#include "program_icon.h"

namespace kalvero {

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/icons/kalvero.svg")); }

} // namespace kalvero
