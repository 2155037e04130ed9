// The registry of a system that has none: every key is missing, so every
// lookup through it fails.
#pragma once

#include "batch/system_services.h"

namespace kalvero {

class NoRegistry : public Registry {
public:
    long OpenKey(std::int32_t root, const std::string& subKey, std::uint32_t options,
                 std::uint32_t access, Key& key) override;
    long QueryValue(Key key, const std::string& valueName, std::uint32_t& type,
                    std::vector<unsigned char>& data, std::uint32_t& size) override;
    long CloseKey(Key key) override;
};

} // namespace kalvero
