// The program's own icon, shared by the main window, the about box and the
// desktop entry.
#pragma once

#include <QIcon>

namespace kalvero {

QIcon ProgramIcon();

} // namespace kalvero
