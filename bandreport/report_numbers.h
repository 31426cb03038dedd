// The numbers the pages lead with, taken from a folder's results, and the wording they are shown in.
#pragma once

#include <optional>
#include <string>

#include "bandreport/result_files.h"

namespace bandreport {

// A probability as a whole percentage: "37 %"; "< 1 %" below 0.01 and "> 99 %" above 0.99, since no estimate
// from data makes an outcome impossible or certain.
std::string percent_text(double probability);

// `value` to 4 significant digits: "0.1235", "12.50", "12350", "1.235e-07" (exponent form below 1e-4 and from
// 1e9); with `trailing_zeros` false, without zeros that end a fraction ("12.5", "2", "1.2e-07"), as for axis ticks.
std::string significant_text(double value, bool trailing_zeros = true);

// significant_text followed by the units, when there are any: "0.1235 mg/m3".
std::string amount_text(double value, const std::string& units);

// A band named in words: "band 4 · 50–100 % of the limit".
std::string band_text(int band);

// The flat or the weighted probability of band 5: that the 95th percentile exceeds the limit. None when the
// run did not get that far or wrote its markers.
std::optional<double> exceedance_probability(const FolderResults& results, bool weighted);

// True when the band weights of out_bayes.txt (or, without it, in_bayes.txt) are not all equal, so that the
// weighted column and the estimates differ from those with every band weighted alike.
bool weights_differ(const FolderResults& results);

// The band 5 weight is 0, which makes the weighted probability of band 5 zero whatever the data.
bool band5_weight_zero(const FolderResults& results);

// A posterior percentile of out_estimates.txt (vantor::Quantity, index into vantor::percentile_levels); none
// when the file was not read, holds the n = 0 markers or the field is not a number.
std::optional<double> estimate(const FolderResults& results, int quantity, int percentile);

// Indices into vantor::percentile_levels.
constexpr int q2_5 = 0, q50 = 1, q70 = 2, q95 = 3, q97_5 = 4;

// A number of out_seg.txt; none for the markers, fields that are not numbers and the 0 spread of a single value.
std::optional<double> sample_statistic(const FolderResults& results, SummaryField field);

}  // namespace bandreport
