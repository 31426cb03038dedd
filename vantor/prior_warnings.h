// Warnings that the prior bounds of in_bayes.txt, rather than the values, decide the probabilities and estimates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "vantor/settings.h"

namespace vantor {

enum class PriorWarningKind {
  gm_below,      // the values' geometric mean lies below both geometric-mean bounds
  gm_above,      // ... above both
  gsd_below,     // the values' geometric standard deviation lies below the lower bound
  gsd_above,     // ... above the upper bound
  few_detected,  // fewer than 2 results above a detection limit
};

struct PriorWarning {
  PriorWarningKind kind = PriorWarningKind::few_detected;
  double value = 0.0;        // the geometric mean or standard deviation (few_detected: 0)
  double bounds[2] = {};     // the bounds it lies outside, ascending (few_detected: 0, 0)
  std::size_t detected = 0;  // results above a detection limit
  std::size_t total = 0;     // all results
  bool imputed = false;      // the value used values imputed for the entries below a limit
  std::string text;          // the line's text after "warning: "
};

// The warnings for the log values (below[i] != 0: log_values[i] is ln of a detection limit; `below` may be empty)
// under settings that check_settings accepts. With entries below a limit the geometric mean and standard deviation
// are of the detected values and the values regression on order statistics imputes, when it can.
std::vector<PriorWarning> prior_warnings(std::span<const double> log_values, std::span<const std::uint8_t> below,
                                         const Settings& settings);

}  // namespace vantor
