#include "system/local_files.h"

#include "batch/file_system.h"
#include "batch/statistics_engine.h"
#include "system/local_file_system.h"

#include "system/disk_room.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>

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

} // namespace

QString ToQt(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string FromQt(const QString& path) {
    return QFile::encodeName(path).toStdString();
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

namespace {

// Where an output goes and how its temporary is named.
struct Target {
    std::string shown;  // the path as given, for messages
    std::string path;   // absolute, symbolic links at the end resolved
    std::string folder; // absolute
    std::string name;   // the file's name
    std::string Prefix() const { return "Cannot write " + shown + ": "; }
    // The system's reason; a full disk also names the folder.
    std::string Failure(int error) const {
        std::string text = Prefix() + Reason(error);
        if (error == ENOSPC || error == EDQUOT)
            text += " in " + folder;
        return text;
    }
};

Target TargetOf(const std::string& path) {
    Target target;
    target.shown = Shown(path);
    if (path.empty())
        throw EngineError("Cannot write the output: no file name was given");
    if (HasNul(path))
        throw EngineError(target.Prefix() + "the name contains a NUL character");
    // A symbolic link at the target is kept, and the file it points to
    // (through any chain of links) is replaced, as QSaveFile does.
    LocalFileSystem files;
    target.path = FollowLinks(AbsolutePath(path), files);
    if (target.path.back() == '/')
        throw EngineError(target.Prefix() + Reason(EISDIR));
    target.folder = FolderOf(target.path);
    target.name = target.path.substr(target.path.rfind('/') + 1);
    return target;
}

std::string RandomSuffix() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string suffix;
    for (int i = 0; i < 6; ++i)
        suffix += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return suffix;
}

// A finished file under a temporary name beside its target: renamed over the
// target by Commit, removed by the destructor on every other way out.
class PendingLink {
public:
    explicit PendingLink(const Target& target) : target_(target) {}
    ~PendingLink() {
        if (!temporary_.empty())
            ::unlink(temporary_.c_str());
    }
    PendingLink(const PendingLink&) = delete;
    PendingLink& operator=(const PendingLink&) = delete;

    // Links source under a fresh temporary name. Returns false when this file
    // system cannot link to source (then the caller copies); throws on any
    // other failure.
    bool Link(const std::string& source) {
        const std::string stem = target_.folder + (target_.folder == "/" ? "" : "/") + "." +
                                 target_.name.substr(0, 200) + ".";
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = stem + RandomSuffix();
            if (::link(source.c_str(), name.c_str()) == 0) {
                temporary_ = name;
                return true;
            }
            switch (errno) {
            case EEXIST:
                continue;
            case EXDEV:
            case EPERM:
            case EMLINK:
            case ENOTSUP:
                return false;
            default:
                throw EngineError(target_.Failure(errno));
            }
        }
        throw EngineError(target_.Failure(EEXIST));
    }

    // Gives the file the mode of the file it replaces, if there is one.
    void KeepModeOfReplaced(mode_t current) {
        struct stat existing {};
        if (::stat(target_.path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
            (existing.st_mode & 07777) != (current & 07777) &&
            ::chmod(temporary_.c_str(), existing.st_mode & 07777) != 0)
            throw EngineError(target_.Failure(errno));
    }

    void Commit() {
        if (::rename(temporary_.c_str(), target_.path.c_str()) != 0)
            throw EngineError(target_.Failure(errno));
        temporary_.clear();
    }

private:
    const Target& target_;
    std::string temporary_;
};

// Flushes a finished file's data to the disk.
void SyncFile(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0)
        throw EngineError("Cannot write " + path + ": " + Reason(errno));
}

} // namespace

void WriteFileAtomically(const std::string& path, const char* data, std::size_t size) {
    const Target target = TargetOf(path);
    CheckRoomFor(target.folder, size, target.shown);
    // QSaveFile writes a temporary beside the target that the kernel creates
    // with the umask applied (or with the replaced file's permissions), and
    // removes it on every way out but commit.
    QSaveFile file(ToQt(target.path));
    file.setDirectWriteFallback(false);
    // Unbuffered, so that a failed write leaves the system's reason in errno.
    auto fail = [&] {
        const int error = errno;
        const std::string reason = file.errorString().toStdString();
        file.cancelWriting();
        throw EngineError(error != 0 ? target.Failure(error) : target.Prefix() + reason);
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail();
    errno = 0;
    if (file.write(data, static_cast<qint64>(size)) != static_cast<qint64>(size))
        fail();
    if (::fsync(file.handle()) != 0)
        throw EngineError(target.Failure(errno));
    errno = 0;
    if (!file.commit())
        fail();
}

bool PublishFileAtomically(const std::string& source, const std::string& path, bool mayLink) {
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0)
        throw EngineError("Cannot read " + source + ": " + Reason(errno));
    const Target target = TargetOf(path);
    PendingLink pending(target);
    if (!mayLink || !pending.Link(source)) {
        WriteFileAtomically(path, ReadWholeFile(source));
        return false;
    }
    SyncFile(source);
    pending.KeepModeOfReplaced(info.st_mode);
    pending.Commit();
    return true;
}

} // namespace kalvero
