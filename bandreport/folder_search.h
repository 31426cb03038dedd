// The folders a batch runs in: the DIR operands as given, or with --recursive every folder below them holding y.txt.
#pragma once

#include <string>
#include <vector>

#include "bandreport/folder_job.h"

namespace bandreport {

// One job per operand; with `recursive`, one per folder at or below a folder operand that holds y.txt, sorted by
// path, without following symbolic links. A folder operand with none below it, and a folder that cannot be
// searched, each give a job that fails saying so; an operand that is no folder gives its own job, which fails.
std::vector<FolderJob> operand_jobs(const std::vector<std::string>& operands, bool recursive);

}  // namespace bandreport
