// The file system as the batch sees it (batch/file_system.h), on a POSIX
// system: identities from stat, links from readlink, list files and logs
// read whole, and a log appended to under an fcntl lock (which also holds
// across NFS), each write flushed to the disk.
#pragma once

#include "batch/file_system.h"

namespace kalvero {

class LocalFileSystem : public FileSystem {
public:
    std::optional<FileId> Identity(const std::string& path) override;
    std::optional<std::string> LinkTarget(const std::string& path) override;
    std::string AbsolutePath(const std::string& name) override;
    bool IsAbsolute(const std::string& path) const override;
    std::string ReadListFile(const std::string& path) override;
    std::string ReadWholeFile(const std::string& path) override;
    std::unique_ptr<AppendFile> OpenForAppend(const std::string& path,
                                              const std::string& what) override;
};

// name as an absolute path: unchanged when it starts with "/", otherwise the
// current working directory, "/" and name. Nothing is cleaned up, so ".."
// keeps its meaning across symbolic links. Throws EngineError when the
// working directory is gone.
std::string AbsolutePath(const std::string& name);

// The whole content of the file at path; throws EngineError "Cannot read
// NAME: reason".
std::string ReadWholeFile(const std::string& path);

} // namespace kalvero
