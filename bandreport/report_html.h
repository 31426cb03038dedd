// report.html: one folder's results as a self-contained page that leads with the decision, with an inline bar
// chart of the bands and a log-probability plot of the measurements.
#pragma once

#include <string>

#include "bandreport/folder_pipeline.h"
#include "bandreport/result_files.h"

namespace bandreport {

// The page for `results`: no scripts, no fetched resources, laid out for a
// screen, a phone and an A4 page. All text from files and folder names is escaped.
std::string report_html(const FolderResults& results, const ReportContext& context);

// The inline SVG bar chart of the flat and weighted probabilities of the five bands.
std::string band_chart_svg(const FolderResults& results);

}  // namespace bandreport
