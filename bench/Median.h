// The median the benchmarks report: the middle value, or the mean of the two middle ones; 0 for
// none.
#pragma once

#include <algorithm>
#include <vector>

namespace benchsim {

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace benchsim
