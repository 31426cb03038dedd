// The settings of the band computation: limit, geometric-mean bounds,
// geometric-standard-deviation bounds, band weights; their check and conversion.
#pragma once

#include <cstddef>
#include <optional>
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

// Why settings cannot be used: the read they came from, the setting as named in messages ("gsd_bounds(1)",
// "band_prior"), its values as shown and the rule they break.
struct Refusal {
  SettingsRead read = limit_read;
  std::string setting;
  std::string values;
  std::string rule;
};

// None when the settings give meaningful probabilities for `value_count`
// values. Logarithms of the limit and of every bound must be defined, every
// value finite, the gsd bounds at least 1 and strictly ascending (above 1 for a
// single value, where sigma = 0 makes the band integral diverge), the weights
// not negative and not all 0, and the 95th percentile relative to the limit a
// positive double at both ends of the grid for both sigma bounds.
std::optional<Refusal> settings_refusal(const Settings& settings, std::size_t value_count);

// "invalid setting <setting> = <values> in file <path>, unit <unit>, line <n>: <rule>".
std::string refusal_message(const Settings& settings, const Refusal& refusal);

// Empty when settings_refusal finds nothing, else its message.
std::string check_settings(const Settings& settings, std::size_t value_count);

// The shortest text that reads back as exactly `value`, independent of the locale.
std::string shown(double value);

// `count` values shown and joined by ", ".
std::string shown_list(const double* values, int count);

// The band computation's view: logarithms of the bounds, limit and weights unchanged.
BandSettings band_settings(const Settings& settings);

}  // namespace vantor
