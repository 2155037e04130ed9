// A chart of pspp's HTML output (a PNG file beside it) as an RTF picture.
#pragma once

#include <string>

namespace kalvero {

// Appends path's PNG as a \pict group at 96 dpi, narrowed to textWidth
// twips. A file that is not a whole PNG picture is an EngineError.
void AppendPicture(std::string& out, const std::string& path, int textWidth);

} // namespace kalvero
