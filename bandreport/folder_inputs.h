// Putting a job's input files into its folder before the programs run, each whole or not at all.
#pragma once

#include <string>

#include "bandreport/folder_job.h"

namespace bandreport {

// Makes the folder when the job says so and writes y.txt from its segment and the files that replace or leave the
// folder's own. Returns an empty string, or the diagnostic.
std::string write_replaced_inputs(const FolderJob& job);

// Writes the files the folder lacks (FileRule::if_missing). Called once the folder is known to hold y.txt, so that
// nothing is written into a folder that is not one of the pipeline's.
std::string write_missing_inputs(const FolderJob& job);

}  // namespace bandreport
