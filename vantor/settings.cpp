// Checks the settings of the band computation and converts them for it.
#include "vantor/settings.h"

#include <charconv>
#include <cmath>

namespace vantor {

namespace {

// The shortest text that reads back as exactly `value`, independent of the locale.
std::string shown(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string shown_list(const double* values, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? ", " : "") + shown(values[i]);
  return text;
}

std::string lines_of(const Settings& s, SettingsRead read) {
  const long first = s.first_line[read], last = s.last_line[read];
  if (first >= last) return "line " + std::to_string(last);
  return "lines " + std::to_string(first) + "-" + std::to_string(last);
}

std::string refusal(const Settings& s, SettingsRead read, const std::string& name, const std::string& values,
                    const char* rule) {
  return "invalid setting " + name + " = " + values + " in file " + s.path + ", unit " + std::to_string(s.unit) + ", " +
         lines_of(s, read) + ": " + rule;
}

std::string element(const char* name, int i) { return std::string(name) + "(" + std::to_string(i + 1) + ")"; }

}  // namespace

std::string check_settings(const Settings& s, std::size_t value_count) {
  const char* positive = "it must be a positive number, since its logarithm is taken";
  if (!(s.limit > 0.0)) return refusal(s, limit_read, "limit", shown(s.limit), positive);
  for (int i = 0; i < 2; ++i)
    if (!(s.gm_bounds[i] > 0.0)) return refusal(s, gm_read, element("gm_bounds", i), shown(s.gm_bounds[i]), positive);
  for (int i = 0; i < 2; ++i)
    if (!(s.gsd_bounds[i] > 0.0))
      return refusal(s, gsd_read, element("gsd_bounds", i), shown(s.gsd_bounds[i]), positive);
  const char* finite = "it must be a finite number";
  if (!std::isfinite(s.limit)) return refusal(s, limit_read, "limit", shown(s.limit), finite);
  for (int i = 0; i < 2; ++i) {
    if (!std::isfinite(s.gm_bounds[i]))
      return refusal(s, gm_read, element("gm_bounds", i), shown(s.gm_bounds[i]), finite);
    if (!std::isfinite(s.gsd_bounds[i]))
      return refusal(s, gsd_read, element("gsd_bounds", i), shown(s.gsd_bounds[i]), finite);
  }
  for (int k = 0; k < bands; ++k)
    if (!std::isfinite(s.band_prior[k]))
      return refusal(s, prior_read, element("band_prior", k), shown(s.band_prior[k]), finite);

  // Below 1 the sigma bounds turn negative and the bands no longer map to ordered
  // sigma intervals; reversed or equal bounds leave no sigma range to integrate over.
  for (int i = 0; i < 2; ++i)
    if (s.gsd_bounds[i] < 1.0)
      return refusal(s, gsd_read, element("gsd_bounds", i), shown(s.gsd_bounds[i]),
                     "a geometric standard deviation is at least 1");
  if (!(s.gsd_bounds[0] < s.gsd_bounds[1]))
    return refusal(s, gsd_read, "gsd_bounds", shown_list(s.gsd_bounds, 2), "the bounds must be strictly ascending");
  if (value_count == 1 && s.gsd_bounds[0] == 1.0)
    return refusal(s, gsd_read, "gsd_bounds(1)", shown(s.gsd_bounds[0]),
                   "with a single value the lower bound must be above 1 (a bound of 1 is sigma = 0, where a band "
                   "reaches to infinity, which the integration cannot take)");
  // Negative weights give negative posteriors; all-zero weights leave nothing to normalise.
  bool any_positive = false;
  for (int k = 0; k < bands; ++k) {
    if (s.band_prior[k] < 0.0)
      return refusal(s, prior_read, element("band_prior", k), shown(s.band_prior[k]),
                     "a band weight must not be negative");
    any_positive = any_positive || s.band_prior[k] > 0.0;
  }
  if (!any_positive)
    return refusal(s, prior_read, "band_prior", shown_list(s.band_prior, bands),
                   "at least one band weight must be positive");
  return "";
}

BandSettings band_settings(const Settings& s) {
  BandSettings band;
  band.limit = s.limit;
  for (int i = 0; i < 2; ++i) {
    band.mu_bounds[i] = std::log(s.gm_bounds[i]);
    band.sigma_bounds[i] = std::log(s.gsd_bounds[i]);
  }
  for (int k = 0; k < bands; ++k) band.band_prior[k] = s.band_prior[k];
  return band;
}

}  // namespace vantor
