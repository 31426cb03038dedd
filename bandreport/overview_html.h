// index.html: the batch at a glance, one row per folder linking its report.html.
#pragma once

#include <string>
#include <vector>

#include "bandreport/folder_pipeline.h"
#include "bandreport/result_files.h"

namespace bandreport {

// The page for `results` (in the order given), to be written into the folder `page_dir` ("" for the current
// one), which must exist: its links to each report.html are relative to it. Self-contained like report.html.
std::string overview_html(const std::vector<FolderResults>& results, const std::string& page_dir,
                          const ReportContext& context);

// The link from a page in `page_dir` to `folder`/report.html: relative, each path segment percent-encoded so
// that no character of a folder name acts as markup, scheme, query or fragment. Empty when the folder holds
// no report.html.
std::string report_link(const std::string& folder, const std::string& page_dir);

}  // namespace bandreport
