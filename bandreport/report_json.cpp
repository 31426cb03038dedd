// report.json: one folder's results as a single JSON object.
#include "bandreport/report_json.h"

#include <nlohmann/json.hpp>

namespace bandreport {

namespace {

using json = nlohmann::ordered_json;

// A field's number, or null when the file did not give one.
json number(bool present, const std::string& text) {
  if (!present) return nullptr;
  const std::optional<double> value = field_value(text);
  return value ? json(*value) : json(nullptr);
}

json settings_object(const std::optional<Settings>& s) {
  if (!s) return {{"limit", nullptr}, {"gm_bounds", nullptr}, {"gsd_bounds", nullptr}, {"weights", nullptr}};
  return {{"limit", s->limit},
          {"gm_bounds", {s->gm_bounds[0], s->gm_bounds[1]}},
          {"gsd_bounds", {s->gsd_bounds[0], s->gsd_bounds[1]}},
          {"weights", json(std::vector<double>(s->band_prior, s->band_prior + band_count))}};
}

}  // namespace

std::string report_json(const FolderResults& r) {
  json report = json::object();
  report["folder"] = r.name;
  report["status"] = r.ok ? "ok" : "failed";
  const std::optional<double> n = r.has_summary ? field_value(r.n) : std::nullopt;
  report["n"] = n ? json(static_cast<long long>(*n)) : json(nullptr);
  report["summary"] = {{"arithmetic_mean", number(r.has_summary, r.summary[arithmetic_mean])},
                       {"standard_deviation", number(r.has_summary, r.summary[standard_deviation])},
                       {"geometric_mean", number(r.has_summary, r.summary[geometric_mean])},
                       {"geometric_sd", number(r.has_summary, r.summary[geometric_sd])},
                       {"fold_range", number(r.has_summary, r.summary[fold_range])}};
  report["normality"] = {{"chi_square", number(r.has_bands, r.chi_square)},
                         {"p_value", number(r.has_bands, r.p_value)}};
  report["settings"] = settings_object(r.settings);
  json bands = json::array();
  for (int k = 0; k < band_count; ++k)
    bands.push_back({{"band", k + 1},
                     {"lower", core::band_lower[k]},
                     {"upper", k + 1 < band_count ? json(core::band_upper[k]) : json(nullptr)},
                     {"weight", number(r.has_bands, r.weight[k])},
                     {"flat", number(r.has_bands, r.flat[k])},
                     {"weighted", number(r.has_bands, r.weighted[k])}});
  report["bands"] = bands;
  report["most_probable_band"] = r.most_probable_band > 0 ? json(r.most_probable_band) : json(nullptr);
  report["warnings"] = r.warnings;
  if (!r.ok) report["message"] = r.message;
  // Folder names and program messages may hold bytes that are not UTF-8; they are replaced, never fatal.
  return report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace bandreport
