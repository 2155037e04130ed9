// Services of the operating system beside the batch run: reading a registry
// value and starting a program. The about box uses them to find and start
// the system information tool; the platform supplies the real ones and tests
// supply fakes. They sit beside the run's own services (run_services.h)
// because the windows use them and the platform implements them, and
// batch/ is the one folder that both include.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvero {

class Registry {
public:
    using Key = std::uintptr_t;
    virtual ~Registry() = default;
    // Opens subKey below root with the access mask; returns 0 and sets key on
    // success, any other value on failure.
    virtual long OpenKey(std::int32_t root, const std::string& subKey, std::uint32_t options,
                         std::uint32_t access, Key& key) = 0;
    // Reads valueName into data (at most its size in bytes); returns 0 and sets
    // type and size on success, any other value on failure (absent value,
    // value larger than the buffer, no right to read).
    virtual long QueryValue(Key key, const std::string& valueName, std::uint32_t& type,
                            std::vector<unsigned char>& data, std::uint32_t& size) = 0;
    virtual long CloseKey(Key key) = 0;
};

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // Starts commandLine as a program and returns at once without waiting;
    // throws when it cannot be started.
    virtual void Start(const std::string& commandLine) = 0;
    // Whether a normal file exists at path.
    virtual bool FileExists(const std::string& path) = 0;
};

} // namespace kalvero
