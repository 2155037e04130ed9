// What every window of the program shares, set up once in its load step:
// the one font, the program's icon, a focus frame that shows which control
// the keyboard works on, and the accessible role that tells a screen reader
// it is a window (Qt reports a top-level plain widget as a mere container).
#pragma once

#include <QAccessible>

class QWidget;

namespace kalvero {

void SetUpWindow(QWidget& window);

// The role a screen reader is told for the window: a plain widget window is
// a QAccessible::Window (a frame); a message box is an alert.
void SetAccessibleRole(QWidget& window, QAccessible::Role role);

} // namespace kalvero
