// Keeps the outputs of a batch from replacing what they must not: the
// syntax file that writes it, any syntax file or syntax list file of the
// batch, or the output of another syntax file. Paths are compared by what
// they name, not by spelling: a file by its identity (device and file
// number, through any link), a file not made yet by its folder's identity
// and its name, so that "sub/../x.txt" and "x.txt" meet.
#pragma once

#include "batch/file_system.h"

#include <map>
#include <string>

namespace kalvero {

// Where the file at path is, or will be once written, as a key that two
// paths share exactly when they name the same file.
std::string PlaceOf(const std::string& path, FileSystem& files);

class OutputCheck {
public:
    explicit OutputCheck(FileSystem& files) : files_(files) {}

    // PlaceOf(path), asking the file system about each path and each folder
    // once: a batch of many files in few folders is planned quickly.
    const std::string& Place(const std::string& path);

    // Remembers an input of the batch; what is "syntax file" or "syntax list
    // file". The first input at a place is kept.
    void AddInput(const std::string& path, const char* what);

    // Checks the output of job number `job` and claims it for its syntax
    // file. Returns why it is refused, or an empty text. An output that the
    // same syntax file claimed before is allowed once more: `after` then
    // names the job that claimed it last, which must end first.
    std::string Claim(long job, const std::string& syntax, const std::string& output, long& after);

private:
    struct Input {
        std::string what;
        std::string path;
    };
    struct Writer {
        long job;
        std::string syntaxPlace;
        std::string syntax;
    };
    FileSystem& files_;
    std::map<std::string, std::string> places_;  // by path
    std::map<std::string, std::string> folders_; // folder keys by folder path
    std::map<std::string, Input> inputs_;        // by place
    std::map<std::string, Writer> writers_;      // by the output's place
};

} // namespace kalvero
