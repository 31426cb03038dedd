// Values and settings the vantor tests share with the reference scripts (make_reference.py and
// make_censored_reference.py), which define them the same way.
#pragma once

#include <cstdint>
#include <vector>

#include "core/analysis.h"

namespace vantor_test {

// The n values of the integer formula of the reference scripts: integer arithmetic and one correctly rounded
// division, so that the scripts produce the identical doubles.
inline std::vector<double> formula_values(int n) {
  std::vector<double> y(n);
  for (std::int64_t i = 1; i <= n; ++i) {
    const std::int64_t a = (i * 7919) % 1009, b = (i * 104729) % 1013, d = (i * 15485863) % 1019;
    y[i - 1] = static_cast<double>(a + b + d - 1512) / 600.0;
  }
  return y;
}

// The band weights of the references, and equal ones.
inline constexpr double reference_weights[5] = {0.1, 0.2, 0.3, 0.25, 0.15};
inline constexpr double equal_weights[5] = {1.0, 1.0, 1.0, 1.0, 1.0};

// Settings as in_bayes.txt gives them: limit, geometric-mean bounds, geometric-standard-deviation bounds, weights.
inline core::Settings settings_for(double limit, double gm1, double gm2, double gsd1, double gsd2,
                                   const double (&weights)[5] = reference_weights) {
  core::Settings s;
  s.limit = limit;
  s.gm_bounds[0] = gm1;
  s.gm_bounds[1] = gm2;
  s.gsd_bounds[0] = gsd1;
  s.gsd_bounds[1] = gsd2;
  for (int k = 0; k < 5; ++k) s.band_prior[k] = weights[k];
  return s;
}

}  // namespace vantor_test
