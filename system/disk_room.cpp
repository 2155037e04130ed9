#include "system/disk_room.h"

#include "batch/statistics_engine.h"

#include <cerrno>
#include <cstring>
#include <sys/statvfs.h>
#include <unistd.h>

namespace kalvero {
namespace {

// Free bytes for this user: root may use the reserved blocks too.
bool FreeBytes(const std::string& folder, std::uint64_t& free, std::uint64_t& block) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0)
        return false;
    const std::uint64_t blocks = ::geteuid() == 0 ? info.f_bfree : info.f_bavail;
    block = info.f_frsize ? info.f_frsize : info.f_bsize;
    free = blocks * block;
    return true;
}

} // namespace

void CheckRoomLeft(const std::string& folder, const std::string& what) {
    std::uint64_t free = 0, block = 0;
    if (FreeBytes(folder, free, block) && free < 2 * block)
        throw EngineError("PSPP could not write " + what + " whole in " + folder + ": " +
                          std::strerror(ENOSPC));
}

void CheckRoomFor(const std::string& folder, std::uint64_t bytes, const std::string& shownPath) {
    std::uint64_t free = 0, block = 0;
    if (FreeBytes(folder, free, block) && free < bytes + 2 * block)
        throw EngineError("Cannot write " + shownPath + ": " + std::strerror(ENOSPC) + " in " +
                          folder);
}

} // namespace kalvero
