// Checks of what pspp wrote, since its exit status does not say whether its
// output reached the disk whole: with no room left pspp can exit 0 and leave
// an empty or cut-off file. Each check throws EngineError with the folder and
// the system's reason, or says what is wrong with the file.
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

// Why the file at path is not a complete zip archive (an SPV file is one),
// or an empty text when it is: the end record must be found, and the
// central directory it points to must lie whole inside the file, hold as
// many entries as it says, and point at local headers that are there.
std::string ZipProblem(const std::string& path);

} // namespace kalvero
