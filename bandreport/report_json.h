// report.json: one folder's results as a single JSON object.
#pragma once

#include <string>

#include "bandreport/result_files.h"

namespace bandreport {

// The JSON text of `results`, indented, ending in a line end. Numbers are numbers;
// null where a run did not produce the field, or where it holds no number of the
// data (markers, asterisks, ...: the reasons are in "notes").
std::string report_json(const FolderResults& results);

}  // namespace bandreport
