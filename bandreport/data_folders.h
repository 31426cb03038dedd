// The folders of a spreadsheet export: one job per segment, in a folder named after it under the output folder.
#pragma once

#include <string>
#include <vector>

#include "bandreport/data_table.h"
#include "bandreport/folder_job.h"

namespace bandreport {

struct DataFolderSetup {
  std::string out_dir;                // --out
  std::vector<std::string> settings;  // lines of --settings
  std::string units;                  // --units, for segments without units of their own
  std::vector<std::string> taken;     // names the folders must not take (the summary's)
};

// One job per segment of `table` (which must outlive them): the folder out_dir/NAME (see folder_names) holding
// y.txt, in_bayes.txt with the segment's limit when it has one, and units.txt when there are units (an old one
// is removed when there are none). Returns an empty string, or the diagnostic when out_dir or one of the
// folders is there but not a folder. Nothing is created.
std::string plan_data_folders(const DataTable& table, const DataFolderSetup& setup, std::vector<FolderJob>& jobs);

}  // namespace bandreport
