// report.json: one folder's results as a single JSON object.
#pragma once

#include <string>

#include "bandreport/result_files.h"

namespace bandreport {

// The JSON text of `results`, indented, ending in a line end. Numbers are
// numbers, null where a field is missing or not a number (asterisks).
std::string report_json(const FolderResults& results);

}  // namespace bandreport
