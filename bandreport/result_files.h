// One folder's outcome: what the two programs reported and what their result files hold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/bands.h"
#include "vantor/estimates.h"
#include "vantor/settings.h"

namespace bandreport {

using core::band_count;

// The statistics of out_seg.txt, in the order the summary table lists them.
enum SummaryField { arithmetic_mean, standard_deviation, geometric_mean, geometric_sd, fold_range, summary_fields };

// The settings of in_bayes.txt as vantor reads them: limit, bounds and band weights (band_prior).
using vantor::Settings;

// out_estimates.txt's quantities (rows) and percentiles (columns), in the file's order.
using vantor::percentile_count;
using vantor::quantity_count;

// Everything the reports need about one folder. Numbers are kept as the
// trimmed text of their fixed-width fields, exactly as the result files show them.
struct FolderResults {
  std::string folder;                 // path of the folder
  std::string name;                   // shown in the reports and the summary: the folder as given, or the segment
  std::string units;                  // of the measurements, from units.txt; empty when there is none
  bool ok = false;                    // both programs ran and every file was written
  std::string message;                // diagnostic of a failed folder
  std::vector<std::string> warnings;  // standard-error lines of the successful runs, in order
  bool has_summary = false;           // out_seg.txt and logy.txt were read
  std::string n;                      // the count of logy.txt
  std::string summary[summary_fields];
  bool has_bands = false;  // out_pvalue.txt and out_bayes.txt were read
  std::string chi_square, p_value;
  std::string weight[band_count], flat[band_count], weighted[band_count];
  std::size_t below_detection = 0;  // entries <v of logy.txt: results below a detection limit
  // logy.txt's entries as vantor reads them, for the report's plot of the measurements: log values, and 1 in
  // `below` where the entry is <v (v the log of the detection limit). Dropped once the reports are written.
  std::vector<double> log_values;
  std::vector<std::uint8_t> below;
  bool has_estimates = false;       // out_estimates.txt was read
  // Its fields as written (shortest round-trip numbers; -1 markers for n = 0): [quantity][percentile], the
  // quantities geometric_mean, geometric_sd, percentile_95, arithmetic_mean, exceedance_percent, the percentiles
  // 2.5, 50, 70, 95, 97.5 (vantor::Quantity, vantor::percentile_levels).
  std::string estimates[quantity_count][percentile_count];
  std::optional<Settings> settings;  // in_bayes.txt, when present and readable
  int most_probable_band = 0;        // 1-5 by the weighted probability, 0 when there is none
};

// Reads out_seg.txt and logy.txt (whole, with vantor's reader) in `dir`. Returns an empty
// string, or what is wrong with the files.
std::string read_summary_files(const std::string& dir, FolderResults& results);

// Reads out_estimates.txt in `dir`: its header, then each quantity's name and five fields.
std::string read_estimates_file(const std::string& dir, FolderResults& results);

// Reads out_pvalue.txt and out_bayes.txt in `dir` and sets the most probable band.
std::string read_band_files(const std::string& dir, FolderResults& results);

// The settings of `dir`/in_bayes.txt, read the way vantor reads them; none when
// the file is missing or does not hold them, and then `problem` says why when
// the file is there but could not be read.
std::optional<Settings> read_settings(const std::string& dir, std::string& problem);

// The units of `dir`/units.txt (its first line); empty when the file is missing,
// and then `problem` says why when the file is there but could not be read.
std::string read_units(const std::string& dir, std::string& problem);

// The number a field shows; none for a field of asterisks or anything else that is not a number.
std::optional<double> field_value(const std::string& text);

// True when the field holds the -1 or -9 marker of "nothing to compute from" / "too few values".
bool is_marker(const std::string& text);

}  // namespace bandreport
