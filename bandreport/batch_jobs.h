// The jobs of a batch as the command line asks: the folders of a CSV export, or the DIR operands.
#pragma once

#include <string>
#include <vector>

#include "bandreport/command_line.h"
#include "bandreport/data_table.h"
#include "bandreport/folder_job.h"

namespace bandreport {

// Reads --settings and --data (into `table`, which the jobs point into) and makes the jobs: one per segment of
// the export, or per DIR operand (or folder found below one with --recursive), these given --settings and
// --units where they have none. Nothing is written. Returns an empty string, or the diagnostic.
std::string batch_jobs(const Options& options, DataTable& table, std::vector<FolderJob>& jobs);

}  // namespace bandreport
