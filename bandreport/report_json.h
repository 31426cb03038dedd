// report.json: one folder's results as a single JSON object.
#pragma once

#include <string>

#include "bandreport/result_files.h"

namespace bandreport {

// Band k's range as fractions of the limit: lower bounds and upper bounds (the top band is open).
constexpr double band_lower[band_count] = {0.0, 0.01, 0.1, 0.5, 1.0};
constexpr double band_upper[band_count - 1] = {0.01, 0.1, 0.5, 1.0};

// The JSON text of `results`, indented, ending in a line end. Numbers are
// numbers, null where a field is missing or not a number (asterisks).
std::string report_json(const FolderResults& results);

}  // namespace bandreport
