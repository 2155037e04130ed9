// Reading syntax list files: plain text, one syntax file name per line.
//
// A line ends at CR, CR LF or LF; a file that ends in a line end has no empty
// line after it; a UTF-8 byte-order mark at the very start is skipped. Bytes
// are passed through as they are (no decoding). Lines are classified by their
// text with blanks (code 32 only) trimmed from both ends: empty is a blank
// line, "*" first makes a comment, anything else names a syntax file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kalvero {

enum class ListLineKind { Blank, Comment, Syntax };

// Removes blanks (code 32 only) from both ends.
std::string TrimBlanks(const std::string& line);
ListLineKind ClassifyLine(const std::string& trimmed);

// The syntax file names in the list file at path, as far as it can be read;
// a list that cannot be opened or read names none.
std::vector<std::string> SyntaxNamesIn(const std::string& path);

// One open list file, read sequentially. Closed when destroyed, on every path.
class SyntaxListFile {
public:
    // Opens path as stored; throws std::runtime_error naming the file and the
    // system's reason when it cannot be opened or is not a regular file (a
    // FIFO or a device would never end).
    explicit SyntaxListFile(const std::string& path);
    ~SyntaxListFile();
    SyntaxListFile(const SyntaxListFile&) = delete;
    SyntaxListFile& operator=(const SyntaxListFile&) = delete;

    bool AtEnd();
    // Reads the next line without its line end; throws when at the end or on
    // a read error.
    std::string ReadLine();
    // Counts the lines from the current position to the end (16-bit, throws
    // on the 32,768th line).
    std::int16_t CountLines();

private:
    int Next();
    int Peek();
    void SkipByteOrderMark();

    std::string path_;
    std::FILE* file_ = nullptr;
};

} // namespace kalvero
