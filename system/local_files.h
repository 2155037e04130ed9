// Local file handling for the engine and the programs: handing paths to Qt
// and back, checking that a syntax file can be read, and writing an output
// file so that a reader never sees a half-written one.
//
// Paths are byte strings as the system stores them. Every failure throws
// EngineError naming the file and the system's reason.
#pragma once

#include <QString>

#include <cstddef>
#include <string>

namespace kalvero {

// A path as Qt takes it and back, in the file system's encoding, so that a
// name that is not valid in the locale's encoding survives the round trip.
QString ToQt(const std::string& path);
std::string FromQt(const QString& path);

// Throws unless path names a regular file that this process may read.
// what describes the file in the message ("syntax file").
void CheckReadableFile(const std::string& path, const std::string& shownName,
                       const std::string& what);

// Writes data to path through a temporary file in the same folder that is
// flushed to the disk and renamed over path only when it is complete. On
// failure the temporary file is removed and an existing file at path is left
// as it was; a folder without room for data fails before anything is
// written, naming the folder. A replaced file keeps its permissions; a new
// one gets the usual 0666 less the umask. A symbolic link at path is kept:
// the file it points to is replaced.
void WriteFileAtomically(const std::string& path, const char* data, std::size_t size);
inline void WriteFileAtomically(const std::string& path, const std::string& data) {
    WriteFileAtomically(path, data.data(), data.size());
}

// Puts a copy of the finished file source at path, with the same guarantees
// as WriteFileAtomically. With mayLink, where source and path share a file
// system, the copy is a hard link made under a temporary name and renamed
// over path, so no data is copied; the caller must then neither change nor
// link source again (it would share its data with path). Otherwise the
// content is read and written. Returns whether it linked.
bool PublishFileAtomically(const std::string& source, const std::string& path, bool mayLink);

} // namespace kalvero
