// The lines of vantor's result files as text, without their line ends: what the files hold, apart from writing them.
#pragma once

#include <string>
#include <vector>

#include "vantor/band_grid.h"
#include "vantor/estimates.h"

namespace vantor {

// out_pvalue.txt: the statistic and the p-value, each 10 wide with 3 decimals.
std::vector<std::string> pvalue_lines(double statistic, double pvalue);

// out_bayes.txt: five lines "c(k),L(k),W(k)", each field 11 wide with 7 decimals.
std::vector<std::string> bayes_lines(const double (&band_prior)[bands], const BandProbabilities& result);

// out_estimates.txt: the header, then one line per quantity with its percentiles in the shortest form that reads
// back exactly.
std::vector<std::string> estimates_lines(const Estimates& estimates);

}  // namespace vantor
