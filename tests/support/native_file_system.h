// The file system of the system the tests run on (LocalFileSystem, POSIX, on
// Linux; WindowsFileSystem on Windows), so that the batch's tests run the
// same on both, and what those tests ask of the system around it: its words
// for a missing file, files that are no regular files, symbolic links, and
// whether a file is still held open.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include "system/windows/handle.h"
#include "system/windows/wide_text.h"
#include "system/windows/windows_file_system.h"
#else
#include "system/local_file_system.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#endif

namespace kalvero::testing {

#ifdef _WIN32
using NativeFileSystem = WindowsFileSystem;
#else
using NativeFileSystem = LocalFileSystem;
#endif

// The system's words for path not being there, as messages end in them:
// "No such file or directory"; Windows tells a missing file from a missing
// folder.
inline std::string MissingFileReason(const std::string& path) {
#ifdef _WIN32
    if (GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return "(it is there)";
    return Win32Reason(GetLastError());
#else
    (void)path;
    return std::strerror(ENOENT);
#endif
}

// Files that are no regular files and would never end if read: a FIFO made
// at fifo and a device; on Windows the device NUL.
inline std::vector<std::string> NonRegularFiles(const std::string& fifo) {
#ifdef _WIN32
    (void)fifo;
    return {"NUL"};
#else
    ::mkfifo(fifo.c_str(), 0600);
    return {fifo, "/dev/zero"};
#endif
}

// Makes a symbolic link at link to target; false where the system makes none
// (Wine).
inline bool MakeSymbolicLink(const std::string& target, const std::string& link) {
    std::error_code error;
    std::filesystem::create_symlink(std::filesystem::u8path(target), std::filesystem::u8path(link),
                                    error);
    return !error && std::filesystem::is_symlink(std::filesystem::u8path(link), error);
}

// Whether this process still holds the file at path open.
inline bool HeldOpen(const std::string& path) {
#ifdef _WIN32
    // Nobody may share a file opened so while a handle to it is open.
    const Handle alone(CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !alone && GetLastError() == ERROR_SHARING_VIOLATION;
#else
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0)
        return false;
    std::error_code error;
    for (const auto& descriptor : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        struct stat open {};
        if (::stat(descriptor.path().c_str(), &open) == 0 && open.st_dev == file.st_dev &&
            open.st_ino == file.st_ino)
            return true;
    }
    return false;
#endif
}

} // namespace kalvero::testing
