// Chi-square test of normality with equal-probability classes.
#pragma once

#include <span>

namespace vantor {

// Marker written for both results when the test cannot be computed.
constexpr double too_few_values = -9.0;

// Pearson's chi-square test of the n values y against a normal distribution with
// the sample mean and standard deviation: k = ceil(2 n^0.4) classes of equal
// probability, k - 3 degrees of freedom. Gives statistic and p-value, or -9
// for both when n < 2 or the standard deviation is 0 or not finite.
void normality_test(std::span<const double> y, double& statistic, double& pvalue);

}  // namespace vantor
