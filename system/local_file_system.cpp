#include "system/local_file_system.h"

#include "batch/message_text.h"
#include "batch/statistics_engine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kalvero {
namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

// Reads what is left of fd; false with errno set on a read error.
bool ReadAll(int fd, std::string& data) {
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got == 0)
            return true;
        if (got < 0 && errno != EINTR)
            return false;
        if (got > 0)
            data.append(chunk, static_cast<std::size_t>(got));
    }
}

// The current folder into path; false with errno set when it is gone.
bool CurrentFolder(std::string& path) {
    char first[4096];
    if (::getcwd(first, sizeof first) != nullptr) {
        path = first;
        return true;
    }
    for (std::vector<char> buffer(sizeof first); errno == ERANGE;) {
        buffer.resize(buffer.size() * 2);
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            path = buffer.data();
            return true;
        }
    }
    return false;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

class LockedAppendFile : public AppendFile {
public:
    LockedAppendFile(std::string shown, int fd) : shown_(std::move(shown)), fd_(fd) {}

    void AppendLines(const std::string& text, const std::string& header) override {
        // O_APPEND makes one write atomic on a local disk; the lock does the
        // same where the log lies on a network file system.
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        int locked = 0;
        while ((locked = ::fcntl(fd_.get(), F_SETLKW, &whole)) != 0 && errno == EINTR) {
        }
        if (locked != 0)
            Fail("cannot lock it: " + Reason(errno));
        std::string data = text;
        const off_t size = Size();
        if (size == 0)
            data.insert(0, header);
        else if (size > 0 && EndsInCutLine(size))
            data.insert(0, 1, '\n');
        const int error = Write(data);
        whole.l_type = F_UNLCK;
        ::fcntl(fd_.get(), F_SETLK, &whole);
        if (error != 0)
            Fail(Reason(error));
    }

private:
    [[noreturn]] void Fail(const std::string& reason) const {
        throw std::runtime_error("Cannot write to " + shown_ + ": " + reason);
    }

    // The file's size, or -1 when it cannot be known.
    off_t Size() const {
        struct stat info {};
        return ::fstat(fd_.get(), &info) == 0 ? info.st_size : -1;
    }

    // Whether the file's last byte is not a line end (a write cut short by a
    // crash or a full disk).
    bool EndsInCutLine(off_t size) const {
        char last = '\n';
        return ::pread(fd_.get(), &last, 1, size - 1) == 1 && last != '\n';
    }

    // Writes data and flushes it; the system's error, or 0.
    int Write(const std::string& data) const {
        std::size_t done = 0;
        while (done < data.size()) {
            const ssize_t written = ::write(fd_.get(), data.data() + done, data.size() - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return written < 0 ? errno : EIO;
            done += static_cast<std::size_t>(written);
        }
        return ::fdatasync(fd_.get()) == 0 ? 0 : errno;
    }

    std::string shown_;
    Descriptor fd_;
};

} // namespace

std::string AbsolutePath(const std::string& name) {
    if (!name.empty() && name.front() == '/')
        return name;
    std::string path;
    if (!CurrentFolder(path))
        throw EngineError("Cannot resolve " + name +
                          ": the working directory is not available: " + Reason(errno));
    if (path.back() != '/')
        path += '/';
    return path + name;
}

std::optional<FileId> LocalFileSystem::Identity(const std::string& path) {
    struct stat info {};
    if (path.empty() || path.find('\0') != std::string::npos || ::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::optional<std::string> LocalFileSystem::LinkTarget(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        return std::nullopt;
    // Most paths are no link: a buffer on the stack answers those at once.
    char first[4096];
    ssize_t got = ::readlink(path.c_str(), first, sizeof first);
    if (got < 0)
        return std::nullopt;
    if (static_cast<std::size_t>(got) < sizeof first)
        return std::string(first, static_cast<std::size_t>(got));
    for (std::vector<char> buffer(2 * sizeof first);; buffer.resize(buffer.size() * 2)) {
        got = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (got < 0)
            return std::nullopt;
        if (static_cast<std::size_t>(got) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(got));
    }
}

std::string LocalFileSystem::AbsolutePath(const std::string& name) {
    return kalvero::AbsolutePath(name);
}

bool LocalFileSystem::IsAbsolute(const std::string& path) const {
    return !path.empty() && path.front() == '/';
}

std::string LocalFileSystem::ReadListFile(const std::string& path) {
    const std::string prefix = "Cannot open the list file " + ShortenName(path) + ": ";
    // A name with a NUL byte cannot name a file; open would silently cut it.
    if (path.find('\0') != std::string::npos)
        throw std::runtime_error(prefix + "Invalid file name");
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        throw std::runtime_error(prefix + Reason(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        throw std::runtime_error(prefix + Reason(errno));
    if (S_ISDIR(info.st_mode))
        throw std::runtime_error(prefix + Reason(EISDIR));
    if (!S_ISREG(info.st_mode))
        throw std::runtime_error(prefix + "it is not a regular file");
    std::string content;
    if (!ReadAll(fd.get(), content))
        throw std::runtime_error("Cannot read the list file " + ShortenName(path) + ": " +
                                 Reason(errno));
    return content;
}

std::string ReadWholeFile(const std::string& path) {
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    std::string content;
    if (fd.get() < 0 || !ReadAll(fd.get(), content))
        throw EngineError("Cannot read " + ShortenName(path) + ": " + Reason(errno));
    return content;
}

std::string LocalFileSystem::ReadWholeFile(const std::string& path) {
    return kalvero::ReadWholeFile(path);
}

std::unique_ptr<AppendFile> LocalFileSystem::OpenForAppend(const std::string& path,
                                                           const std::string& what) {
    const std::string shown = what + " " + ShortenName(path);
    if (path.find('\0') != std::string::npos)
        throw std::runtime_error("Cannot open " + shown + ": Invalid file name");
    // Read access too, to see whether the file ends in a cut line.
    constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY;
    int fd = ::open(path.c_str(), O_RDWR | kFlags, 0666);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.c_str(), O_WRONLY | kFlags, 0666);
    if (fd < 0)
        throw std::runtime_error("Cannot open " + shown + ": " + Reason(errno));
    return std::make_unique<LockedAppendFile>(shown, fd);
}

} // namespace kalvero
