// The check of a Viewer file that pspp wrote: an SPV file is a zip archive,
// and pspp's exit status does not say whether it reached the disk whole.
#pragma once

#include <string>

namespace kalvero {

// Why the file at path is not a complete zip archive (an SPV file is one),
// or an empty text when it is: the end record must be found, and the
// central directory it points to must lie whole inside the file, hold as
// many entries as it says, and point at local headers that are there.
std::string ZipProblem(const std::string& path);

} // namespace kalvero
