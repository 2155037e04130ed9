// The file system as the batch sees it (batch/file_system.h), on Windows:
// identities from the volume serial number and the file index
// (GetFileInformationByHandle, through any link), symbolic links read from
// their reparse point, absolute paths from GetFullPathNameW, list files and
// logs read whole, and a log appended to under a LockFileEx lock, each write
// flushed to the disk (FlushFileBuffers). Names are compared without case,
// as Windows compares them. Paths are UTF-8 inside and UTF-16 for the system
// (system_path.h).
#pragma once

#include "batch/file_system.h"

namespace kalvero {

class WindowsFileSystem : public FileSystem {
public:
    std::optional<FileId> Identity(const std::string& path) override;
    std::optional<std::string> LinkTarget(const std::string& path) override;
    std::string AbsolutePath(const std::string& name) override;
    bool IsAbsolute(const std::string& path) const override;
    std::string NameKey(const std::string& name) const override;
    std::string ReadListFile(const std::string& path) override;
    std::string ReadWholeFile(const std::string& path) override;
    std::unique_ptr<AppendFile> OpenForAppend(const std::string& path,
                                              const std::string& what) override;
};

} // namespace kalvero
