#include "system/windows/system_path.h"

#include "system/windows/wide_text.h"

#include <windows.h>

#include <vector>

namespace kalvero {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The full form of a long path, "\\?\C:\..." or "\\?\UNC\server\...": with
// it the system takes the path as given, so it must be whole first.
std::wstring LongForm(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::vector<wchar_t> full(size);
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    const std::wstring whole(full.data(), length);
    if (whole.rfind(L"\\\\?\\", 0) == 0)
        return whole;
    if (whole.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + whole.substr(2);
    return L"\\\\?\\" + whole;
}

} // namespace

std::wstring SystemPath(const std::string& path) {
    if (path.find('\0') != std::string::npos)
        throw InvalidPath("Invalid file name");
    std::wstring wide;
    try {
        wide = WideFromUtf8(path);
    } catch (const std::invalid_argument&) {
        throw InvalidPath("the name is not UTF-8 text");
    }
    // A little below MAX_PATH already: a folder's own path may be no longer
    // than MAX_PATH - 12, to leave room for an 8.3 name in it.
    if (wide.size() >= MAX_PATH - 12)
        return LongForm(wide);
    return wide;
}

bool IsAbsoluteWindowsPath(const std::string& path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return true;
    return path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]) &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

} // namespace kalvero
