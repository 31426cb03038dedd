// Writing vantor's result files: the normality test "out_pvalue.txt" and the band probabilities "out_bayes.txt".
//
// Each file is replaced whole or not at all. Every function returns an empty
// string on success, otherwise the one-line diagnostic.
#pragma once

#include <string>

#include "vantor/band_grid.h"

namespace vantor {

// Two lines: the statistic and the p-value, each 10 wide with 3 decimals.
std::string write_pvalue_file(double statistic, double pvalue);

// Five lines "c(k),L(k),W(k)", each field 11 wide with 7 decimals, under `unit`.
std::string write_bayes_file(const double (&band_prior)[bands], const BandProbabilities& result, int unit);

// No values: -1 in every field of both files.
std::string write_marker_files();

}  // namespace vantor
