// The batch's summary table: one CSV row per folder, in the order the folders were given.
#include "bandreport/summary_table.h"

#include "bandreport/text_escape.h"

namespace bandreport {

const char* const summary_header =
    "folder,status,n,arithmetic_mean,standard_deviation,geometric_mean,geometric_sd,fold_range,chi_square,p_value,"
    "flat_band1,flat_band2,flat_band3,flat_band4,flat_band5,weighted_band1,weighted_band2,weighted_band3,"
    "weighted_band4,weighted_band5,most_probable_band,message";

std::string summary_row(const FolderResults& r) {
  std::string row = csv_field(r.name) + (r.ok ? ",ok," : ",failed,");
  // Fields a run did not produce stay empty; the others are the file's text as written.
  const auto field = [&](bool present, const std::string& text) { row += csv_field(present ? text : "") + ","; };
  field(r.has_summary, r.n);
  for (int f = 0; f < summary_fields; ++f) field(r.has_summary, r.summary[f]);
  field(r.has_bands, r.chi_square);
  field(r.has_bands, r.p_value);
  for (int k = 0; k < band_count; ++k) field(r.has_bands, r.flat[k]);
  for (int k = 0; k < band_count; ++k) field(r.has_bands, r.weighted[k]);
  field(r.most_probable_band > 0, std::to_string(r.most_probable_band));
  std::string message = r.message;
  if (r.ok) {
    for (std::size_t i = 0; i < r.warnings.size(); ++i) message += (i ? "; " : "") + r.warnings[i];
  }
  return row + csv_field(message);
}

}  // namespace bandreport
