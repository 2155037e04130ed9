#include "system/no_registry.h"

namespace kalvero {

namespace {
// The registry's own codes: no such key or value, and no such open key.
constexpr long kFileNotFound = 2;
constexpr long kInvalidHandle = 6;
} // namespace

long NoRegistry::OpenKey(std::int32_t, const std::string&, std::uint32_t, std::uint32_t, Key&) {
    return kFileNotFound;
}

long NoRegistry::QueryValue(Key, const std::string&, std::uint32_t&, std::vector<unsigned char>&,
                            std::uint32_t&) {
    return kFileNotFound;
}

long NoRegistry::CloseKey(Key) {
    return kInvalidHandle;
}

} // namespace kalvero
