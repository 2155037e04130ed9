#include "secondary_windows.h"

namespace kalvero {

void OpenHelpWindow() {}

} // namespace kalvero
