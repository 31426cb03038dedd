// Values with entries below detection limits: detected logs apart, limits grouped with their counts.
#include "vantor/censored_values.h"

#include <algorithm>
#include <cassert>

namespace vantor {

std::size_t CensoredValues::size() const {
  double below = 0.0;
  for (const LimitGroup& g : limits) below += g.count;
  return detected.size() + static_cast<std::size_t>(below);
}

CensoredValues group_entries(std::span<const double> log_values, std::span<const std::uint8_t> below) {
  assert(below.empty() || below.size() == log_values.size());
  CensoredValues out;
  std::vector<double> limits;
  for (std::size_t i = 0; i < log_values.size(); ++i) {
    if (!below.empty() && below[i] != 0)
      limits.push_back(log_values[i]);
    else
      out.detected.push_back(log_values[i]);
  }
  std::sort(limits.begin(), limits.end());
  for (std::size_t k = 0; k < limits.size();) {
    std::size_t end = k;
    while (end < limits.size() && limits[end] == limits[k]) ++end;
    out.limits.push_back({limits[k], static_cast<double>(end - k)});
    k = end;
  }
  return out;
}

}  // namespace vantor
