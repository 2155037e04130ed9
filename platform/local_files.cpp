#include "platform/local_files.h"

#include "batch/statistics_engine.h"

#include <QRandomGenerator>

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

namespace {

// Where an output goes and how its temporary is named.
struct Target {
    std::string shown;  // the path as given, for messages
    std::string path;   // absolute
    std::string folder; // absolute
    std::string name;   // the file's name
    std::string Prefix() const { return "Cannot write " + shown + ": "; }
};

Target TargetOf(const std::string& path) {
    Target target;
    target.shown = Shown(path);
    if (path.empty())
        throw EngineError("Cannot write the output: no file name was given");
    if (HasNul(path))
        throw EngineError(target.Prefix() + "the name contains a NUL character");
    target.path = AbsolutePath(path);
    if (target.path.back() == '/')
        throw EngineError(target.Prefix() + Reason(EISDIR));
    target.folder = FolderOf(target.path);
    target.name = target.path.substr(target.path.rfind('/') + 1);
    return target;
}

// The mode the finished file gets: that of the file it replaces, or the
// usual 0666 less the umask.
mode_t ModeFor(const Target& target) {
    struct stat existing {};
    if (::stat(target.path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        return existing.st_mode & 07777;
    return 0666 & ~CurrentUmask();
}

// Renames the finished temporary over the target, or removes it.
void Commit(const Target& target, const std::string& temporary) {
    if (::rename(temporary.c_str(), target.path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw EngineError(target.Prefix() + Reason(error));
    }
}

std::string RandomSuffix() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i)
        suffix += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return suffix;
}

// Links source under a fresh temporary name beside target. Returns false
// when this file system cannot link to source (then the caller copies);
// throws on any other failure.
bool LinkTemporary(const std::string& source, const Target& target, std::string& temporary) {
    const std::string pattern = TemporaryPattern(target.folder, target.name);
    const std::string stem = pattern.substr(0, pattern.size() - 6);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = stem + RandomSuffix();
        if (::link(source.c_str(), temporary.c_str()) == 0)
            return true;
        switch (errno) {
        case EEXIST:
            continue;
        case EXDEV:
        case EPERM:
        case EMLINK:
        case ENOTSUP:
            return false;
        default:
            throw EngineError(target.Prefix() + Reason(errno));
        }
    }
    throw EngineError(target.Prefix() + Reason(EEXIST));
}

} // namespace

void WriteFileAtomically(const std::string& path, const char* data, std::size_t size) {
    const Target target = TargetOf(path);
    std::string temporary = TemporaryPattern(target.folder, target.name);
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0)
        throw EngineError(target.Prefix() + Reason(errno));

    auto fail = [&](int error) {
        ::close(fd.release());
        ::unlink(temporary.c_str());
        throw EngineError(target.Prefix() + Reason(error));
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
    if (::fchmod(fd.get(), ModeFor(target)) != 0)
        fail(errno);
    if (::close(fd.release()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw EngineError(target.Prefix() + Reason(error));
    }
    Commit(target, temporary);
}

bool PublishFileAtomically(const std::string& source, const std::string& path, bool mayLink) {
    if (!mayLink) {
        WriteFileAtomically(path, ReadWholeFile(source));
        return false;
    }
    const Target target = TargetOf(path);
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0)
        throw EngineError("Cannot read " + source + ": " + Reason(errno));
    const mode_t mode = ModeFor(target);
    std::string temporary;
    if (!LinkTemporary(source, target, temporary)) {
        WriteFileAtomically(path, ReadWholeFile(source));
        return false;
    }
    if ((info.st_mode & 07777) != mode && ::chmod(temporary.c_str(), mode) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw EngineError(target.Prefix() + Reason(error));
    }
    Commit(target, temporary);
    return true;
}

} // namespace kalvero
