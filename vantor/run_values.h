// Run-wide values of vantor: the count and the values read from "logy.txt".
//
// The main routine fills them once; the band computations read them.
#pragma once

#include <cstdint>
#include <vector>

namespace vantor {

extern std::int32_t value_count;        // n, the count on the first line of "logy.txt"
extern std::vector<double> log_values;  // log_values(1..n) stored at [0..n-1]; empty when n <= 0

}  // namespace vantor
