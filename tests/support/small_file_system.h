// A small tmpfs mounted for one test (root only; Error() says why not),
// filled to the last byte on request, and unmounted at its end.
#pragma once

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalvero::testing {

class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& where) : where_(where) {
        ::mkdir(where.c_str(), 0755);
        if (::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=1m") != 0)
            error_ = std::strerror(errno);
    }
    ~SmallFileSystem() {
        if (error_.empty())
            ::umount2(where_.c_str(), MNT_DETACH);
    }
    const std::string& Error() const { return error_; }
    void Fill() {
        const int fd = ::open((where_ + "/.filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        const std::string block(4096, 'f');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        while (::write(fd, block.data(), 1) > 0) {
        }
        ::close(fd);
    }

private:
    std::string where_;
    std::string error_;
};

} // namespace kalvero::testing
