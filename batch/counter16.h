// Counters and indices of the runs are 16-bit signed: a run handles at most
// 32,767 entries and a list file at most 32,767 lines. Going past that is a
// failure of the run, never a wrap-around.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace kalvero {

class CounterOverflow : public std::overflow_error {
public:
    using std::overflow_error::overflow_error;
};

// Adds one to counter; throws CounterOverflow instead of passing 32,767.
void Increment16(std::int16_t& counter, const char* what);

// The size as a 16-bit count; throws CounterOverflow above 32,767.
std::int16_t Count16(std::size_t size, const char* what);

} // namespace kalvero
