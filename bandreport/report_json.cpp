// report.json: one folder's results as a single JSON object.
#include "bandreport/report_json.h"

#include <nlohmann/json.hpp>

#include "bandreport/result_values.h"

namespace bandreport {

namespace {

using json = nlohmann::ordered_json;

// A field's number, or null where there is none (the reason is among the notes).
json number(const ResultValue& value) { return value.number ? json(*value.number) : json(nullptr); }

json settings_object(const std::optional<Settings>& s) {
  if (!s) return {{"limit", nullptr}, {"gm_bounds", nullptr}, {"gsd_bounds", nullptr}, {"weights", nullptr}};
  return {{"limit", s->limit},
          {"gm_bounds", {s->gm_bounds[0], s->gm_bounds[1]}},
          {"gsd_bounds", {s->gsd_bounds[0], s->gsd_bounds[1]}},
          {"weights", json(std::vector<double>(s->band_prior, s->band_prior + band_count))}};
}

// Every percentile of every quantity of out_estimates.txt, keyed by the file's own names; null without the file.
json estimates_object(const FolderResults& r, const ResultValues& v) {
  if (!r.has_estimates) return nullptr;
  json estimates = json::object();
  for (int q = 0; q < quantity_count; ++q) {
    json percentiles = json::object();
    for (int p = 0; p < percentile_count; ++p) percentiles[vantor::percentile_names[p]] = number(v.estimates[q][p]);
    estimates[vantor::quantity_names[q]] = percentiles;
  }
  return estimates;
}

}  // namespace

std::string report_json(const FolderResults& r) {
  const ResultValues v = result_values(r);
  json report = json::object();
  report["folder"] = r.name;
  report["status"] = r.ok ? "ok" : "failed";
  report["n"] = v.n.number ? json(static_cast<long long>(*v.n.number)) : json(nullptr);
  report["below_detection"] = r.has_summary ? json(r.below_detection) : json(nullptr);
  report["units"] = r.units.empty() ? json(nullptr) : json(r.units);
  report["summary"] = {{"arithmetic_mean", number(v.summary[arithmetic_mean])},
                       {"standard_deviation", number(v.summary[standard_deviation])},
                       {"geometric_mean", number(v.summary[geometric_mean])},
                       {"geometric_sd", number(v.summary[geometric_sd])},
                       {"fold_range", number(v.summary[fold_range])}};
  report["normality"] = {{"chi_square", number(v.chi_square)}, {"p_value", number(v.p_value)}};
  report["settings"] = settings_object(r.settings);
  json bands = json::array();
  for (int k = 0; k < band_count; ++k)
    bands.push_back({{"band", k + 1},
                     {"lower", core::band_lower[k]},
                     {"upper", k + 1 < band_count ? json(core::band_upper[k]) : json(nullptr)},
                     {"weight", number(v.weight[k])},
                     {"flat", number(v.flat[k])},
                     {"weighted", number(v.weighted[k])}});
  report["bands"] = bands;
  report["most_probable_band"] = r.most_probable_band > 0 ? json(r.most_probable_band) : json(nullptr);
  report["estimates"] = estimates_object(r, v);
  report["notes"] = v.notes;
  report["warnings"] = r.warnings;
  if (!r.ok) report["message"] = r.message;
  // Folder names and program messages may hold bytes that are not UTF-8; they are replaced, never fatal.
  return report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace bandreport
