// The median of a benchmark's rounds, less moved by a round disturbed by
// something else on the machine than the mean.
#pragma once

#include <algorithm>
#include <vector>

namespace kalvero::bench {

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace kalvero::bench
