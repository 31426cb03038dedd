// One folder's whole pipeline: its inputs, cardel, then vantor, then report.json and report.html.
#pragma once

#include <string>
#include <vector>

#include "bandreport/folder_job.h"
#include "bandreport/result_files.h"

namespace bandreport {

// How the two programs are run.
struct Programs {
  std::string cardel;  // absolute paths of the two programs
  std::string vantor;
  std::vector<std::string> cardel_args;  // e.g. --seed N
  double time_limit = 0;                 // seconds a program may run in one folder; 0 for no limit
};

// What every report of a batch shows besides its folder's results.
struct ReportContext {
  std::string version;  // "bandreport 1.0.0"
  std::string date;     // the date shown in report.html
};

// Puts the job's inputs into its folder, runs cardel and then vantor --estimates there and reads
// back what they wrote, the settings and the units. Nothing that goes wrong in the
// folder escapes: it comes back as a failed result with its diagnostic.
FolderResults run_pipeline(const FolderJob& job, const Programs& programs);

// Writes report.json and report.html into the folder of `results` when it holds
// y.txt. A report that cannot be written marks a good folder failed. Then drops
// logy.txt's values from `results`: only the reports need them.
void write_reports(FolderResults& results, const ReportContext& context);

}  // namespace bandreport
