// A path as the system gets it: UTF-16, and beyond MAX_PATH characters in
// the "\\?\" form that lifts that limit.
#pragma once

#include <stdexcept>
#include <string>

namespace kalvero {

// Thrown for a path that names no file: not UTF-8 text, or a NUL byte in it.
class InvalidPath : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// path for the file functions of Windows; throws InvalidPath with the reason
// ("the name is not UTF-8 text", "Invalid file name").
std::wstring SystemPath(const std::string& path);

// Whether path is absolute on Windows: a drive letter, a colon and a
// separator ("C:\", "C:/"), or two separators (UNC "\\server\share").
// "\data" and "C:data" depend on the current drive or its folder.
bool IsAbsoluteWindowsPath(const std::string& path);

} // namespace kalvero
