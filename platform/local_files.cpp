#include "local_files.h"

#include "statistics_engine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kalvero {
namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

bool HasNul(const std::string& path) {
    return path.find('\0') != std::string::npos;
}

// A name as a message can show it: a NUL would end the message early.
std::string Shown(const std::string& name) {
    std::string shown;
    for (const char c : name)
        shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    return shown;
}

// Closes a descriptor when it goes out of scope unless released.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

mode_t CurrentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// The temporary file's name: hidden, beside the target, short enough for the
// file system even when the target's own name is near its limit.
std::string TemporaryPattern(const std::string& folder, const std::string& fileName) {
    std::string stem = fileName.substr(0, 200);
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '/')
        pattern += '/';
    return pattern + "." + stem + ".XXXXXX";
}

} // namespace

std::string AbsolutePath(const std::string& name) {
    if (!name.empty() && name.front() == '/')
        return name;
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            throw EngineError("Cannot resolve " + name +
                              ": the working directory is not available: " + Reason(errno));
        buffer.resize(buffer.size() * 2);
    }
    std::string path = buffer.data();
    if (path.back() != '/')
        path += '/';
    return path + name;
}

std::string FolderOf(const std::string& absolutePath) {
    const std::size_t slash = absolutePath.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return absolutePath.substr(0, slash);
}

void CheckReadableFile(const std::string& path, const std::string& shownName,
                       const std::string& what) {
    const std::string prefix = "Cannot read " + what + " " + Shown(shownName) + ": ";
    if (shownName.empty())
        throw EngineError("Cannot read " + what + ": no file name was given");
    if (HasNul(path))
        throw EngineError(prefix + "the name contains a NUL character");
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        throw EngineError(prefix + Reason(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw EngineError(prefix + Reason(errno));
    if (S_ISDIR(info.st_mode))
        throw EngineError(prefix + Reason(EISDIR));
    if (!S_ISREG(info.st_mode))
        throw EngineError(prefix + "not a regular file");
}

std::string ReadWholeFile(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw EngineError("Cannot read " + path + ": " + Reason(errno));
    std::string data;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
        if (got == 0)
            break;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw EngineError("Cannot read " + path + ": " + Reason(errno));
        }
        data.append(chunk, static_cast<std::size_t>(got));
    }
    return data;
}

void WriteFileAtomically(const std::string& path, const char* data, std::size_t size) {
    const std::string prefix = "Cannot write " + Shown(path) + ": ";
    if (path.empty())
        throw EngineError("Cannot write the output: no file name was given");
    if (HasNul(path))
        throw EngineError(prefix + "the name contains a NUL character");
    const std::string absolute = AbsolutePath(path);
    if (absolute.back() == '/')
        throw EngineError(prefix + Reason(EISDIR));
    const std::string folder = FolderOf(absolute);
    const std::string fileName = absolute.substr(absolute.rfind('/') + 1);

    std::string temporary = TemporaryPattern(folder, fileName);
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0)
        throw EngineError(prefix + Reason(errno));

    auto fail = [&](int error) {
        ::close(fd.release());
        ::unlink(temporary.c_str());
        throw EngineError(prefix + Reason(error));
    };

    std::size_t written = 0;
    while (written < size) {
        const ssize_t put = ::write(fd.get(), data + written, size - written);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        written += static_cast<std::size_t>(put);
    }

    struct stat existing {};
    const mode_t mode = ::stat(absolute.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)
                            ? (existing.st_mode & 07777)
                            : (0666 & ~CurrentUmask());
    if (::fchmod(fd.get(), mode) != 0)
        fail(errno);
    if (::close(fd.release()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw EngineError(prefix + Reason(error));
    }
    if (::rename(temporary.c_str(), absolute.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw EngineError(prefix + Reason(error));
    }
}

} // namespace kalvero
