// Opening the help window (HILFE) and the about box (frmAbout) from the main
// window's menu: each loads its window if it is not loaded, then shows it
// modeless without an owner and brings it to the front.
#pragma once

namespace kalvero {

void OpenHelpWindow();
void OpenAboutBox();

} // namespace kalvero
