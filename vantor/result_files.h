// Writing vantor's result files: the normality test "out_pvalue.txt" and the band probabilities "out_bayes.txt".
//
// Each file is replaced whole or not at all. Every function returns an empty
// string on success, otherwise the one-line diagnostic.
#pragma once

#include <string>
#include <vector>

#include "vantor/band_grid.h"
#include "vantor/estimates.h"

namespace vantor {

// The lines of out_pvalue.txt without their line ends: the statistic and the p-value, each 10 wide with 3 decimals.
std::vector<std::string> pvalue_lines(double statistic, double pvalue);
std::string write_pvalue_file(double statistic, double pvalue);

// The lines of out_bayes.txt: five lines "c(k),L(k),W(k)", each field 11 wide with 7 decimals.
std::vector<std::string> bayes_lines(const double (&band_prior)[bands], const BandProbabilities& result);
// out_bayes.txt, under `unit`.
std::string write_bayes_file(const double (&band_prior)[bands], const BandProbabilities& result, int unit);

// The lines of out_estimates.txt without their line ends: the header, then one line per quantity with its
// percentiles in the shortest form that reads back exactly.
std::vector<std::string> estimates_lines(const Estimates& estimates);

// out_estimates.txt, those lines.
std::string write_estimates_file(const Estimates& estimates);

// No values: -1 in every field of both files.
std::string write_marker_files();

}  // namespace vantor
