// Turns plain text output into a rich text document: one paragraph per line,
// set in a fixed-pitch font so that the columns of text tables stay aligned.
// The document is plain ASCII: RTF's special characters are escaped and every
// other character is written as a Unicode escape (UTF-16 code units, signed,
// with "?" as the fallback for readers without Unicode).
#pragma once

#include <string>

namespace kalvero {

// text is UTF-8; invalid sequences become U+FFFD.
std::string TextToRtf(const std::string& text);

} // namespace kalvero
