// Starts programs detached from this one: the path is the program itself,
// with no arguments and never through a shell.
#pragma once

#include "batch/system_services.h"

namespace kalvero {

class DetachedProgramLauncher : public ProgramLauncher {
public:
    // Throws std::runtime_error naming the path when it cannot be started.
    void Start(const std::string& commandLine) override;
    bool FileExists(const std::string& path) override;
};

} // namespace kalvero
