// A folder's results as the summary table and report.json show them: each field a number or nothing, and for
// nothing the reason. Decided here once, so that the two outputs always agree.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bandreport/result_files.h"

namespace bandreport {

// One field of a result file.
struct ResultValue {
  std::string text;              // the number as the summary writes it; empty when there is none
  std::optional<double> number;  // the same number; none exactly where `text` is empty
};

struct ResultValues {
  ResultValue n;
  ResultValue summary[summary_fields];
  ResultValue chi_square, p_value;
  ResultValue weight[band_count], flat[band_count], weighted[band_count];
  ResultValue estimates[quantity_count][percentile_count];
  // Why fields that a file holds show no number, one line per reason, in the order of the fields, e.g.
  // "standard_deviation, geometric_sd: a single value has no spread".
  std::vector<std::string> notes;
};

// The values of `results`. A field that its file holds but that is no number of the data becomes empty with a
// note: the -1 and -9 markers; the 0 written for the spread of a single value or of a single group; the test of
// two values, which has no degrees of freedom; asterisks and words such as Infinity.
ResultValues result_values(const FolderResults& results);

// A number's text with its exponent, if any, written e[-]digits without leading zeros, and left out when it is
// zero: "8.408964226238121E-006" -> "8.408964226238121e-6", "0.000000000000000E+000" -> "0.000000000000000".
// The digits before the exponent are kept, so the value is unchanged. `text` must be a number.
std::string plain_number_text(std::string_view text);

}  // namespace bandreport
