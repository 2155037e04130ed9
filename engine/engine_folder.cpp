#include "engine/engine_folder.h"

#include "batch/statistics_engine.h"
#include "system/local_files.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvero {
namespace {

constexpr const char* kPrefix = "kalvero-pspp-";
constexpr const char* kLockName = "/.lock";
constexpr const char* kNewLockName = "/.lock-new";
constexpr std::time_t kYoungSeconds = 60;

void RemoveTree(const std::string& path) {
    QDir(ToQt(path)).removeRecursively();
}

// Takes the folder's lock without waiting; -1 when another process holds it
// or the folder has no lock file.
int TryLock(const std::string& folder) {
    const int fd = ::open((folder + kLockName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string TemporaryFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

EngineFolder::EngineFolder() {
    const std::string parent = TemporaryFolder();
    std::string pattern = parent + "/" + kPrefix + "XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw EngineError("Cannot create a temporary folder in " + parent + ": " +
                          std::strerror(errno));
    path_ = pattern;
    // The lock is taken under another name and only then renamed into
    // place: another instance's clean-up must never find .lock unheld,
    // or it would take this young folder for a dead one and remove it.
    const std::string unheld = path_ + kNewLockName;
    lock_ = ::open(unheld.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (lock_ < 0 || ::flock(lock_, LOCK_EX | LOCK_NB) != 0 ||
        ::rename(unheld.c_str(), (path_ + kLockName).c_str()) != 0) {
        const int error = errno;
        Remove();
        throw EngineError("Cannot lock the temporary folder " + pattern + ": " +
                          std::strerror(error));
    }
}

EngineFolder::~EngineFolder() {
    Remove();
}

void EngineFolder::Remove() {
    if (!path_.empty())
        RemoveTree(path_);
    path_.clear();
    if (lock_ >= 0)
        ::close(lock_);
    lock_ = -1;
}

int RemoveStaleEngineFolders() {
    const std::string parent = TemporaryFolder();
    DIR* dir = ::opendir(parent.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, std::strlen(kPrefix), kPrefix) != 0)
            continue;
        const std::string folder = parent + "/" + name;
        struct stat info {};
        if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            info.st_uid != ::geteuid())
            continue;
        const int lock = TryLock(folder);
        struct stat lockInfo {};
        const bool hasLock = ::lstat((folder + kLockName).c_str(), &lockInfo) == 0;
        if (lock >= 0 || (!hasLock && now - info.st_mtime > kYoungSeconds)) {
            RemoveTree(folder);
            ++removed;
        }
        if (lock >= 0)
            ::close(lock);
    }
    ::closedir(dir);
    return removed;
}

} // namespace kalvero
