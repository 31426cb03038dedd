// Checks the settings of the band computation and converts them for it.
#include "vantor/settings.h"

#include <charconv>
#include <cmath>

namespace vantor {

namespace {

std::string lines_of(const Settings& s, SettingsRead read) {
  const long first = s.first_line[read], last = s.last_line[read];
  if (first >= last) return "line " + std::to_string(last);
  return "lines " + std::to_string(first) + "-" + std::to_string(last);
}

Refusal refusal(SettingsRead read, const std::string& setting, const std::string& values, const std::string& rule) {
  return Refusal{read, setting, values, rule};
}

std::string element(const char* name, int i) { return std::string(name) + "(" + std::to_string(i + 1) + ")"; }

// The settings outside the reach of doubles at an end of the grid: R = exp(mu + z sigma)/limit at both
// geometric-mean bounds and both sigma bounds must be a positive finite number, or every breakpoint of that
// grid point collapses (an infinite or zero R has no logarithm to map back to sigma).
std::optional<Refusal> range_refusal(const Settings& s) {
  for (int g = 0; g < 2; ++g) {
    for (int d = 0; d < 2; ++d) {
      const double mu = std::log(s.gm_bounds[g]), sigma = std::log(s.gsd_bounds[d]);
      const double percentile = std::exp(mu + z95 * sigma);
      const double ratio = percentile / s.limit;
      if (ratio > 0.0 && std::isfinite(ratio)) continue;
      const std::string rule = "at the geometric mean " + shown(s.gm_bounds[g]) + " and the geometric standard deviation " +
                               shown(s.gsd_bounds[d]) +
                               " the 95th percentile relative to the limit lies outside the range of double "
                               "precision (about 1e-308 to 1e308); use bounds and a limit that keep it within";
      if (percentile > 0.0 && std::isfinite(percentile)) return refusal(limit_read, "limit", shown(s.limit), rule);
      if (!std::isfinite(std::exp(z95 * sigma)))
        return refusal(gsd_read, element("gsd_bounds", d), shown(s.gsd_bounds[d]), rule);
      return refusal(gm_read, element("gm_bounds", g), shown(s.gm_bounds[g]), rule);
    }
  }
  return std::nullopt;
}

}  // namespace

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

std::optional<Refusal> settings_refusal(const Settings& s, std::size_t value_count) {
  const char* positive = "it must be a positive number, since its logarithm is taken";
  if (!(s.limit > 0.0)) return refusal(limit_read, "limit", shown(s.limit), positive);
  for (int i = 0; i < 2; ++i)
    if (!(s.gm_bounds[i] > 0.0)) return refusal(gm_read, element("gm_bounds", i), shown(s.gm_bounds[i]), positive);
  for (int i = 0; i < 2; ++i)
    if (!(s.gsd_bounds[i] > 0.0))
      return refusal(gsd_read, element("gsd_bounds", i), shown(s.gsd_bounds[i]), positive);
  const char* finite = "it must be a finite number";
  if (!std::isfinite(s.limit)) return refusal(limit_read, "limit", shown(s.limit), finite);
  for (int i = 0; i < 2; ++i) {
    if (!std::isfinite(s.gm_bounds[i]))
      return refusal(gm_read, element("gm_bounds", i), shown(s.gm_bounds[i]), finite);
    if (!std::isfinite(s.gsd_bounds[i]))
      return refusal(gsd_read, element("gsd_bounds", i), shown(s.gsd_bounds[i]), finite);
  }
  for (int k = 0; k < bands; ++k)
    if (!std::isfinite(s.band_prior[k]))
      return refusal(prior_read, element("band_prior", k), shown(s.band_prior[k]), finite);

  // Below 1 the sigma bounds turn negative and the bands no longer map to ordered
  // sigma intervals; reversed or equal bounds leave no sigma range to integrate over.
  for (int i = 0; i < 2; ++i)
    if (s.gsd_bounds[i] < 1.0)
      return refusal(gsd_read, element("gsd_bounds", i), shown(s.gsd_bounds[i]),
                     "a geometric standard deviation is at least 1");
  if (!(s.gsd_bounds[0] < s.gsd_bounds[1]))
    return refusal(gsd_read, "gsd_bounds", shown_list(s.gsd_bounds, 2), "the bounds must be strictly ascending");
  if (value_count == 1 && s.gsd_bounds[0] == 1.0)
    return refusal(gsd_read, "gsd_bounds(1)", shown(s.gsd_bounds[0]),
                   "with a single value the lower bound must be above 1 (a bound of 1 is sigma = 0, where a band "
                   "reaches to infinity, which the integration cannot take)");
  // Negative weights give negative posteriors; all-zero weights leave nothing to normalise.
  bool any_positive = false;
  for (int k = 0; k < bands; ++k) {
    if (s.band_prior[k] < 0.0)
      return refusal(prior_read, element("band_prior", k), shown(s.band_prior[k]), "a band weight must not be negative");
    any_positive = any_positive || s.band_prior[k] > 0.0;
  }
  if (!any_positive)
    return refusal(prior_read, "band_prior", shown_list(s.band_prior, bands), "at least one band weight must be positive");
  return range_refusal(s);
}

std::string refusal_message(const Settings& s, const Refusal& r) {
  return "invalid setting " + r.setting + " = " + r.values + " in file " + s.path + ", unit " + std::to_string(s.unit) +
         ", " + lines_of(s, r.read) + ": " + r.rule;
}

std::string check_settings(const Settings& s, std::size_t value_count) {
  const std::optional<Refusal> r = settings_refusal(s, value_count);
  return r ? refusal_message(s, *r) : "";
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
