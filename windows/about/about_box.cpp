#include "secondary_windows.h"

namespace kalvero {

void OpenAboutBox() {}

} // namespace kalvero
