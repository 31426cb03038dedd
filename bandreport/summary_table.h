// The batch's summary table: one CSV row per folder, in the order the folders were given.
#pragma once

#include <string>
#include <vector>

#include "bandreport/result_files.h"

namespace bandreport {

// The header row, without its line end.
extern const char* const summary_header;

// The row of one folder, without its line end.
std::string summary_row(const FolderResults& results);

}  // namespace bandreport
