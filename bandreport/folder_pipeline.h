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

// Runs the pipeline in `folder` and writes its reports there. Nothing that goes
// wrong in the folder escapes: it comes back as a failed result with its diagnostic.
FolderResults run_folder(const std::string& folder, const Programs& programs, const ReportContext& context);

}  // namespace bandreport
