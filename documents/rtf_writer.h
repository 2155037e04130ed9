// Text in an RTF document, the way word processors write it themselves: the
// document declares code page 1252 (\ansicpg1252), so a character of that
// code page is written as \'hh, and any other as its UTF-16 code units \uN
// (signed), each followed by \'3f ("?") for readers without Unicode (the
// document says \uc1: one fallback character). RTF's own specials are
// escaped, so the document stays pure ASCII.
#pragma once

#include <string>

namespace kalvero {

// Appends UTF-8 text (invalid sequences become U+FFFD), line ends written as
// lineEnd (a paragraph or a line break). Control characters other than line
// ends, tabs and form feeds are dropped.
void AppendRtfText(std::string& out, const std::string& text, const char* lineEnd = "\\par\n");

} // namespace kalvero
