#include "batch/counter16.h"

#include <limits>

namespace kalvero {

namespace {
constexpr long kMax16 = std::numeric_limits<std::int16_t>::max();

[[noreturn]] void Overflow(const char* what) {
    throw CounterOverflow(std::string("Overflow: more than ") + std::to_string(kMax16) + " " +
                          what);
}
} // namespace

void Increment16(std::int16_t& counter, const char* what) {
    if (counter >= kMax16)
        Overflow(what);
    ++counter;
}

std::int16_t Count16(std::size_t size, const char* what) {
    if (size > static_cast<std::size_t>(kMax16))
        Overflow(what);
    return static_cast<std::int16_t>(size);
}

} // namespace kalvero
