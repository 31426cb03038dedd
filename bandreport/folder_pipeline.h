// One folder's whole pipeline: cardel, then vantor, then report.json and report.html.
#pragma once

#include <string>

#include "bandreport/result_files.h"

namespace bandreport {

struct Programs {
  std::string cardel;  // absolute paths of the two programs
  std::string vantor;
};

// What every report of a batch shows besides its folder's results.
struct ReportContext {
  std::string version;  // "bandreport 1.0.0"
  std::string date;     // the date shown in report.html
};

// Runs cardel and then vantor in `folder` and reads back what they wrote and the
// settings. Nothing that goes wrong in the folder escapes: it comes back as a
// failed result with its diagnostic.
FolderResults run_pipeline(const std::string& folder, const Programs& programs);

// Writes report.json and report.html into the folder of `results` (when it
// exists). A report that cannot be written marks a good folder failed.
void write_reports(FolderResults& results, const ReportContext& context);

}  // namespace bandreport
