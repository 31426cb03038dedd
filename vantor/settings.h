// The settings of the band computation: limit, geometric-mean bounds,
// geometric-standard-deviation bounds, band weights; their check and conversion.
#pragma once

#include <cstddef>
#include <string>

#include "vantor/band_grid.h"

namespace vantor {

// The four reads of the settings file, in file order.
enum SettingsRead { limit_read, gm_read, gsd_read, prior_read, settings_reads };

struct Settings {
  double limit = 0.0;             // the limit value x
  double gm_bounds[2] = {};       // bounds of the geometric mean exp(mu)
  double gsd_bounds[2] = {};      // bounds of the geometric standard deviation exp(sigma)
  double band_prior[bands] = {};  // prior weight of bands 1..5
  // Where each read came from, for diagnostics.
  std::string path;
  int unit = 0;
  long first_line[settings_reads] = {};  // line on which each read started looking for values
  long last_line[settings_reads] = {};   // line holding each read's last value
};

// Empty when the settings give meaningful probabilities for `value_count`
// values; otherwise one line naming the setting, its values, the file, the
// line and the rule broken. Logarithms of the limit and of every bound must be
// defined, every value finite, the gsd bounds at least 1 and strictly
// ascending (above 1 for a single value, where sigma = 0 makes the band
// integral diverge), the weights not negative and not all 0.
std::string check_settings(const Settings& settings, std::size_t value_count);

// The band computation's view: logarithms of the bounds, limit and weights unchanged.
BandSettings band_settings(const Settings& settings);

}  // namespace vantor
