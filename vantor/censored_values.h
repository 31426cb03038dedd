// Values with entries below detection limits, as the band computation and the estimates take them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vantor {

// The entries below one detection limit.
struct LimitGroup {
  double log_limit = 0.0;  // ln of the limit
  double count = 0.0;      // how many entries lie below it
};

struct CensoredValues {
  std::vector<double> detected;    // logs of the detected values, in file order
  std::vector<LimitGroup> limits;  // one per distinct limit, ascending
  std::size_t size() const;        // all entries
};

// Splits log values into detected ones and limits: below[i] != 0 marks log_values[i] as ln of a limit.
CensoredValues group_entries(std::span<const double> log_values, std::span<const std::uint8_t> below);

}  // namespace vantor
