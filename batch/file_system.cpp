#include "batch/file_system.h"

namespace kalvero {
namespace {

// Where the last separator of path stands, or npos.
std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of(kPathSeparators);
}

// Whether the first `length` bytes of path are a root ("/", "\", "C:\").
bool IsRoot(const std::string& path, std::size_t length) {
    if (length == 1)
        return true;
#ifdef _WIN32
    return length == 3 && path[1] == ':';
#else
    (void)path;
    return false;
#endif
}

} // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string::npos)
        return ".";
    if (IsRoot(path, separator + 1))
        return path.substr(0, separator + 1);
    return path.substr(0, separator);
}

std::string NameOf(const std::string& path) {
    const std::size_t separator = LastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::string FollowLinks(const std::string& path, FileSystem& files) {
    std::string followed = path;
    // As many links as the system itself follows before it gives up.
    for (int depth = 0; depth < 40; ++depth) {
        const std::optional<std::string> target = files.LinkTarget(followed);
        if (!target || target->empty())
            break;
        if (files.IsAbsolute(*target)) {
            followed = *target;
            continue;
        }
        const std::string folder = FolderOf(followed);
        const bool endsInSeparator =
            !folder.empty() &&
            std::string(kPathSeparators).find(folder.back()) != std::string::npos;
        followed = folder + (endsInSeparator ? "" : "/") + *target;
    }
    return followed;
}

} // namespace kalvero
