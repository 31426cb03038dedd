// The settings file "in_bayes.txt": limit, geometric-mean bounds, geometric-standard-deviation bounds, band weights.
#include "vantor/settings.h"

#include <cmath>

#include "textio/fixed_width_writer.h"

namespace vantor {

textio::ReadStatus read_settings(textio::FreeFormReader& reader, Settings& s) {
  textio::ReadStatus status = textio::read_reals(reader, &s.limit, 1);
  if (status == textio::ReadStatus::ok) status = textio::read_reals(reader, s.gm_bounds, 2);
  if (status == textio::ReadStatus::ok) status = textio::read_reals(reader, s.gsd_bounds, 2);
  if (status == textio::ReadStatus::ok) status = textio::read_reals(reader, s.band_prior, 5);
  return status;
}

namespace {

std::string refusal(const textio::FreeFormReader& reader, const std::string& name, double value, const char* rule) {
  char shown[32];
  std::snprintf(shown, sizeof shown, "%.17g", value);
  return "invalid setting " + name + " = " + shown + " in file " + reader.path + ", unit " +
         std::to_string(reader.unit) + ": " + rule;
}

}  // namespace

std::string check_settings(const Settings& s, const textio::FreeFormReader& reader) {
  const char* positive = "it must be a positive number, since its logarithm is taken";
  if (!(s.limit > 0.0)) return refusal(reader, "limit", s.limit, positive);
  for (int i = 0; i < 2; ++i)
    if (!(s.gm_bounds[i] > 0.0))
      return refusal(reader, "gm_bounds(" + std::to_string(i + 1) + ")", s.gm_bounds[i], positive);
  for (int i = 0; i < 2; ++i)
    if (!(s.gsd_bounds[i] > 0.0))
      return refusal(reader, "gsd_bounds(" + std::to_string(i + 1) + ")", s.gsd_bounds[i], positive);
  const char* finite = "it must be a finite number";
  if (!std::isfinite(s.limit)) return refusal(reader, "limit", s.limit, finite);
  for (int i = 0; i < 2; ++i) {
    if (!std::isfinite(s.gm_bounds[i]))
      return refusal(reader, "gm_bounds(" + std::to_string(i + 1) + ")", s.gm_bounds[i], finite);
    if (!std::isfinite(s.gsd_bounds[i]))
      return refusal(reader, "gsd_bounds(" + std::to_string(i + 1) + ")", s.gsd_bounds[i], finite);
  }
  for (int k = 0; k < 5; ++k)
    if (!std::isfinite(s.band_prior[k]))
      return refusal(reader, "band_prior(" + std::to_string(k + 1) + ")", s.band_prior[k], finite);
  return "";
}

}  // namespace vantor
