// Writing vantor's result files: out_pvalue.txt, out_bayes.txt and out_estimates.txt.
//
// Each file is replaced whole or not at all. Every function returns an empty
// string on success, otherwise the one-line diagnostic.
#pragma once

#include <string>
#include <vector>

#include "vantor/band_grid.h"
#include "vantor/estimates.h"
#include "vantor/result_lines.h"

namespace vantor {

// out_pvalue.txt: the statistic and the p-value (result_lines.h has the layout of every file).
std::string write_pvalue_file(double statistic, double pvalue);

// out_bayes.txt, under `unit`.
std::string write_bayes_file(const double (&band_prior)[bands], const BandProbabilities& result, int unit);

// out_estimates.txt.
std::string write_estimates_file(const Estimates& estimates);

// No values: -1 in every field of both files.
std::string write_marker_files();

}  // namespace vantor
