// Run-wide values of vantor: the count and the values read from "logy.txt".
#include "vantor/run_values.h"

namespace vantor {

std::int32_t value_count = 0;
std::vector<double> log_values;

}  // namespace vantor
