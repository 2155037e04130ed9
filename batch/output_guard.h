// Keeps the outputs of a run from replacing what they must not: the syntax
// file being run, any syntax file or syntax list file of the run, or an
// output that the run already wrote for another syntax file. Files are
// compared by identity (device and inode, following links), so a second name
// for the same file does not slip past; a path that names no file yet
// replaces nothing.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>

namespace kalvero {

class OutputGuard {
public:
    // Remembers an input of the run; what is "syntax file" or "syntax list
    // file". A path that names no file is passed over.
    void AddInput(const std::string& path, const char* what);
    // Throws std::runtime_error naming both files when writing output for
    // syntax would replace one of them; an output path spelled as the syntax
    // file itself is refused even when that file does not exist.
    void Check(const std::string& syntax, const std::string& output) const;
    // Records that output now holds the output of syntax.
    void Written(const std::string& syntax, const std::string& output);

    struct FileId {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator<(const FileId& other) const {
            return device != other.device ? device < other.device : inode < other.inode;
        }
        bool operator==(const FileId& other) const {
            return device == other.device && inode == other.inode;
        }
    };

private:
    struct Known {
        std::string what;
        std::string path;
    };
    struct Output {
        FileId syntax;
        std::string syntaxPath;
    };
    std::map<FileId, Known> inputs_;
    std::map<FileId, Output> outputs_;
};

// The identity of the file at path (following links), or none when path
// names no file.
std::optional<OutputGuard::FileId> FileIdentity(const std::string& path);

} // namespace kalvero
