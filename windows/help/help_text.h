// The help window's fixed page of text.
#pragma once

#include <QString>

namespace kalvero {

// The help text: its lines joined by CR LF, with none after the last line.
QString HelpText();

} // namespace kalvero
