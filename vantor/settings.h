// The settings file "in_bayes.txt": limit, geometric-mean bounds, geometric-standard-deviation bounds, band weights.
#pragma once

#include <string>

#include "textio/free_form_reader.h"

namespace vantor {

struct Settings {
  double limit = 0.0;         // the limit value x
  double gm_bounds[2] = {};   // bounds of the geometric mean exp(mu)
  double gsd_bounds[2] = {};  // bounds of the geometric standard deviation exp(sigma)
  double band_prior[5] = {};  // prior weight of bands 1..5
};

// Four reads: limit; the two gm bounds; the two gsd bounds; the five weights.
textio::ReadStatus read_settings(textio::FreeFormReader& reader, Settings& settings);

// Empty when the settings can be used; otherwise why not, naming the setting
// and the file: a logarithm of limit or of a bound must be defined, and every
// value finite.
std::string check_settings(const Settings& settings, const textio::FreeFormReader& reader);

}  // namespace vantor
