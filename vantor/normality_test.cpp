// Chi-square test of normality with equal-probability classes.
#include "vantor/normality_test.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "distributions/cdf.h"
#include "textio/one_based.h"

namespace vantor {

namespace {
constexpr double class_exponent = 0.4000000059604645;  // 0.4 in single precision
}

void normality_test(std::span<const double> y, double& statistic, double& pvalue) {
  const auto n = static_cast<std::int32_t>(y.size());
  if (n < 2) {
    statistic = too_few_values;
    pvalue = too_few_values;
    return;
  }
  const std::int32_t k = static_cast<std::int32_t>(std::ceil(2.0 * std::pow(static_cast<double>(n), class_exponent)));
  double sum = 0.0;
  for (double v : y) sum = sum + v;
  const double mean = sum / n;
  double squares = 0.0;
  for (double v : y) squares = squares + (v - mean) * (v - mean);
  const double sd = std::sqrt(squares / (n - 1));
  if (!(sd > 0.0) || !std::isfinite(sd)) {
    // All values equal: no value can be classified, so there is no test.
    statistic = too_few_values;
    pvalue = too_few_values;
    return;
  }
  std::vector<std::int32_t> count_storage(k, 0);
  const auto counts = textio::one_based(count_storage);
  for (double v : y) {
    const double z = (v - mean) / sd;
    double p = 0.0;
    double ccum = 0.0;
    distributions::cdf_normal(z, p, ccum);
    const double c = std::floor(k * p + 1.0);
    // p exactly 1 belongs to the top class; the guard also keeps any
    // unexpected value inside the counts.
    const std::int32_t cls = c >= k ? k : (c >= 1.0 ? static_cast<std::int32_t>(c) : 1);
    counts(cls) += 1;
  }
  const double e = static_cast<double>(n) / k;
  double sum_sq = 0.0;
  for (std::int32_t c = 1; c <= k; ++c) sum_sq = sum_sq + (counts(c) - e) * (counts(c) - e);
  statistic = sum_sq / e;
  const double df = static_cast<double>(k - 3);
  double cum = 0.0;
  distributions::cdf_chisq(statistic, df, cum, pvalue);
}

}  // namespace vantor
