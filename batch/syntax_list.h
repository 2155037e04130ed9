// Syntax list files: plain text, one syntax file name per line.
//
// A line ends at CR, CR LF or LF; a file that ends in a line end has no empty
// line after it; a UTF-8 byte-order mark at the very start is skipped. Bytes
// are passed through as they are (no decoding). Lines are classified by their
// text with blanks (code 32 only) trimmed from both ends: empty is a blank
// line, "*" first makes a comment, anything else names a syntax file.
#pragma once

#include <string>
#include <vector>

namespace kalvero {

enum class ListLineKind { Blank, Comment, Syntax };

// Removes blanks (code 32 only) from both ends.
std::string TrimBlanks(const std::string& line);
ListLineKind ClassifyLine(const std::string& trimmed);

// The lines of a list file's content, without their line ends.
std::vector<std::string> SplitListLines(const std::string& content);

} // namespace kalvero
