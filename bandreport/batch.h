// Running the pipeline over many folders, several at once, with progress on standard error.
#pragma once

#include <string>
#include <vector>

#include "bandreport/folder_pipeline.h"

namespace bandreport {

struct BatchSetup {
  Programs programs;
  ReportContext context;
  int jobs = 1;                // folders at once
  bool show_progress = false;  // a progress line updated in place (standard error is a terminal)
};

// The results of every job's folder, in the order given. A folder named twice (by
// any path) is run once and its result repeated, so that no two runs ever share a folder.
std::vector<FolderResults> run_batch(const std::vector<FolderJob>& jobs, const BatchSetup& setup);

}  // namespace bandreport
