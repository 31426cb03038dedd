// report.html's log-probability plot of a folder's measurements: results against the normal quantiles of their
// plotting positions, with the fitted lognormal line and the limit.
#pragma once

#include <cstddef>
#include <string>

#include "bandreport/result_files.h"

namespace bandreport {

// Results drawn at most, so that the page stays small for any folder; more are thinned evenly along the plot.
constexpr std::size_t plot_point_limit = 2000;

// A <figure> holding the inline SVG plot and a caption saying how to read it; empty when the folder's results
// (logy.txt's entries) were not read or hold no finite value.
std::string measurement_plot_figure(const FolderResults& results);

}  // namespace bandreport
