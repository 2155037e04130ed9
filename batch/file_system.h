// What the batch needs of the file system: the identity of files, symbolic
// links, the current folder, reading a list file or a log whole, and a file
// that lines are appended to. The system supplies the implementation (POSIX
// or Windows), so that the plan, the runner and the log are the same code on
// every system.
//
// Paths are byte strings as the system stores them (UTF-8 on Windows).
// Every failure throws std::runtime_error naming the file and the system's
// reason.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kalvero {

// A file as the system knows it, whatever its name: device and file number.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    bool operator==(const FileId& other) const {
        return device == other.device && file == other.file;
    }
    bool operator<(const FileId& other) const {
        return device != other.device ? device < other.device : file < other.file;
    }
};

// A file open for appending whole lines, shared with other programs.
class AppendFile {
public:
    virtual ~AppendFile() = default;
    // Appends text (whole lines) in one write under an exclusive lock and
    // flushes it to the disk; an empty file gets header first. When the file
    // ends in a cut line, a line end is written first, so that text starts
    // on a line of its own. Throws naming the file and the reason (a full
    // disk, a lock that fails).
    virtual void AppendLines(const std::string& text, const std::string& header) = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The identity of the file at path, following symbolic links; none when
    // path names no file.
    virtual std::optional<FileId> Identity(const std::string& path) = 0;
    // What the symbolic link at path holds, as stored; none when path is
    // not a symbolic link.
    virtual std::optional<std::string> LinkTarget(const std::string& path) = 0;
    // name as an absolute path against the current folder. Nothing is
    // cleaned up, so ".." keeps its meaning across symbolic links.
    virtual std::string AbsolutePath(const std::string& name) = 0;
    // Whether path is absolute on this system.
    virtual bool IsAbsolute(const std::string& path) const = 0;
    // What a file name in a folder is known by: two names with the same key
    // name the same file. The name itself where names are told apart byte
    // for byte; Windows ignores their case.
    virtual std::string NameKey(const std::string& name) const { return name; }

    // The whole content of a syntax list file. Throws "Cannot open the list
    // file NAME: reason" when it cannot be read or is not a regular file (a
    // FIFO or a device would never end).
    virtual std::string ReadListFile(const std::string& path) = 0;
    // The whole content of a file; throws "Cannot read NAME: reason".
    virtual std::string ReadWholeFile(const std::string& path) = 0;
    // Opens path for appending, creating it; what says what it is in
    // messages ("the run log"): "Cannot open the run log NAME: reason".
    virtual std::unique_ptr<AppendFile> OpenForAppend(const std::string& path,
                                                      const std::string& what) = 0;
};

// The characters that separate folders in a path on this system.
#ifdef _WIN32
inline constexpr const char* kPathSeparators = "/\\";
#else
inline constexpr const char* kPathSeparators = "/";
#endif

// The folder part of path: what stands before its last separator, the root
// for a file in the root ("/", "C:\\"), and "." for a bare name.
std::string FolderOf(const std::string& path);
// The name part of path: what stands after its last separator.
std::string NameOf(const std::string& path);

// path with the symbolic links at its end followed (a link relative to the
// folder it stands in is read from there), as far as they lead.
std::string FollowLinks(const std::string& path, FileSystem& files);

} // namespace kalvero
