#include "batch/syntax_list.h"

#include "batch/counter16.h"

#include "batch/message_text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvero {

std::string TrimBlanks(const std::string& line) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = line.find_last_not_of(' ');
    return line.substr(first, last - first + 1);
}

ListLineKind ClassifyLine(const std::string& trimmed) {
    if (trimmed.empty())
        return ListLineKind::Blank;
    if (trimmed[0] == '*')
        return ListLineKind::Comment;
    return ListLineKind::Syntax;
}

SyntaxListFile::SyntaxListFile(const std::string& path) : path_(path) {
    const std::string prefix = "Cannot open the list file " + ShortenName(path) + ": ";
    // A name with a NUL byte cannot name a file; open would silently cut it.
    if (path.find('\0') != std::string::npos)
        throw std::runtime_error(prefix + "Invalid file name");
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw std::runtime_error(prefix + std::strerror(errno));
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    const int error = errno;
    if (!known || !S_ISREG(info.st_mode)) {
        ::close(fd);
        throw std::runtime_error(prefix + (!known                  ? std::strerror(error)
                                           : S_ISDIR(info.st_mode) ? std::strerror(EISDIR)
                                                                   : "it is not a regular file"));
    }
    file_ = ::fdopen(fd, "rb");
    if (!file_) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error(prefix + std::strerror(error));
    }
    SkipByteOrderMark();
}

SyntaxListFile::~SyntaxListFile() {
    if (file_)
        std::fclose(file_);
}

int SyntaxListFile::Next() {
    const int c = std::getc(file_);
    if (c == EOF && std::ferror(file_))
        throw std::runtime_error("Cannot read the list file " + ShortenName(path_) + ": " +
                                 std::strerror(errno));
    return c;
}

int SyntaxListFile::Peek() {
    const int c = Next();
    if (c != EOF)
        std::ungetc(c, file_);
    return c;
}

void SyntaxListFile::SkipByteOrderMark() {
    static const unsigned char bom[] = {0xEF, 0xBB, 0xBF};
    unsigned char head[3];
    const std::size_t got = std::fread(head, 1, 3, file_);
    if (got == 3 && std::memcmp(head, bom, 3) == 0)
        return;
    if (std::ferror(file_) || std::fseek(file_, 0, SEEK_SET) != 0)
        throw std::runtime_error("Cannot read the list file " + ShortenName(path_) + ": " +
                                 std::strerror(errno));
}

bool SyntaxListFile::AtEnd() {
    return Peek() == EOF;
}

std::string SyntaxListFile::ReadLine() {
    int c = Next();
    if (c == EOF)
        throw std::runtime_error("Cannot read the list file " + ShortenName(path_) +
                                 ": it ended early (was it changed during the run?)");
    std::string line;
    while (c != EOF && c != '\r' && c != '\n') {
        line.push_back(static_cast<char>(c));
        c = Next();
    }
    if (c == '\r' && Peek() == '\n')
        Next();
    return line;
}

std::vector<std::string> SyntaxNamesIn(const std::string& path) {
    std::vector<std::string> names;
    try {
        SyntaxListFile list(path);
        for (int line = 0; line < 32767 && !list.AtEnd(); ++line) {
            std::string name = TrimBlanks(list.ReadLine());
            if (ClassifyLine(name) == ListLineKind::Syntax)
                names.push_back(std::move(name));
        }
    } catch (const std::exception&) {
        // The run itself reports what is wrong with this list when it gets there.
    }
    return names;
}

std::int16_t SyntaxListFile::CountLines() {
    std::int16_t count = 0;
    while (!AtEnd()) {
        // Skip one line as ReadLine would read it, without keeping its text.
        int c = Next();
        while (c != EOF && c != '\r' && c != '\n')
            c = Next();
        if (c == '\r' && Peek() == '\n')
            Next();
        Increment16(count, "lines in a list file");
    }
    return count;
}

} // namespace kalvero
