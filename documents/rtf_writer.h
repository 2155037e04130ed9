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

// Appends UTF-8 text to an RTF document with the escapes above, line ends
// written as lineEnd (a paragraph or a line break).
void AppendRtfText(std::string& out, const std::string& text, const char* lineEnd = "\\par\n");

} // namespace kalvero
