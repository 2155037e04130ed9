// Room left on a file system. pspp's exit status does not say whether its
// output reached the disk whole: with no room left it can exit 0 and leave
// an empty or cut-off file. Each check throws EngineError with the folder
// and the system's reason.
#pragma once

#include <cstdint>
#include <string>

namespace kalvero {

// Throws "… No space left on device" naming folder when the file system that
// holds it has less than a couple of blocks free (for this user): a writer
// that ran out of room leaves it so. what names the output ("the output of
// a.sps").
void CheckRoomLeft(const std::string& folder, const std::string& what);

// Throws naming folder when its file system lacks room for bytes more.
void CheckRoomFor(const std::string& folder, std::uint64_t bytes, const std::string& shownPath);

} // namespace kalvero
