// Regression on order statistics: values for results below detection limits, from a lognormal fit to the detected ones.
#include "core/order_statistics_regression.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "distributions/log_scale.h"

namespace core {

namespace {

// A detected value: where it ranks (-infinity for a zero, below every limit) and the log it is fitted with.
struct Detected {
  double rank;
  double log_value;
};

bool ranks_before(const Detected& x, const Detected& y) {
  return x.rank < y.rank || (x.rank == y.rank && x.log_value < y.log_value);
}

std::size_t distinct_logs(const std::vector<Detected>& detected) {
  std::vector<double> logs;
  logs.reserve(detected.size());
  for (const Detected& d : detected) logs.push_back(d.log_value);
  std::sort(logs.begin(), logs.end());
  return static_cast<std::size_t>(std::unique(logs.begin(), logs.end()) - logs.begin());
}

}  // namespace

OrderStatisticsFit fit_order_statistics(const double* log_values, const std::uint8_t* kinds, std::size_t count) {
  OrderStatisticsFit fit;
  std::vector<Detected> detected;
  std::vector<double> limit_logs;
  for (std::size_t i = 0; i < count; ++i) {
    assert(std::isfinite(log_values[i]) && kinds[i] <= detected_zero);
    if (kinds[i] == below_limit) {
      limit_logs.push_back(log_values[i]);
    } else {
      detected.push_back({kinds[i] == detected_zero ? -INFINITY : log_values[i], log_values[i]});
    }
  }
  std::sort(detected.begin(), detected.end(), ranks_before);
  std::sort(limit_logs.begin(), limit_logs.end());
  for (std::size_t k = 0; k < limit_logs.size();) {
    std::size_t end = k;
    while (end < limit_logs.size() && limit_logs[end] == limit_logs[k]) ++end;
    fit.limits.push_back({limit_logs[k], end - k, {}, 0});
    k = end;
  }
  fit.detected = detected.size();
  fit.distinct_detected = distinct_logs(detected);
  if (fit.distinct_detected < 2) return fit;

  // Limit j is fit.limits[j - 1]. first[j] is the index of the first detected value at or above L_j, so A_j is
  // first[j + 1] - first[j] and first[j] detected values lie below L_j.
  const std::size_t m = fit.limits.size();
  std::vector<std::size_t> first(m + 2);
  first[0] = 0;
  first[m + 1] = detected.size();
  for (std::size_t j = 1; j <= m; ++j) {
    const double limit = fit.limits[j - 1].log_limit;
    first[j] =
        static_cast<std::size_t>(std::lower_bound(detected.begin(), detected.end(), limit,
                                                  [](const Detected& d, double value) { return d.rank < value; }) -
                                 detected.begin());
  }
  std::vector<std::size_t> below_up_to(m + 1, 0);  // entries below a limit X <= L_j
  for (std::size_t j = 1; j <= m; ++j) below_up_to[j] = below_up_to[j - 1] + fit.limits[j - 1].count;
  std::vector<double> pe(m + 2);
  pe[m + 1] = 0.0;
  for (std::size_t j = m; j >= 1; --j) {
    const double a = static_cast<double>(first[j + 1] - first[j]);
    const double b = static_cast<double>(first[j] + below_up_to[j]);
    pe[j] = a + b == 0.0 ? pe[j + 1] : pe[j + 1] + a / (a + b) * (1.0 - pe[j + 1]);
  }
  pe[0] = 1.0;

  // Normal scores of the detected values' plotting positions, in ascending order of the values.
  std::vector<double> z(detected.size());
  for (std::size_t j = 0; j <= m; ++j) {
    const std::size_t a = first[j + 1] - first[j];
    for (std::size_t r = 1; r <= a; ++r) {
      const double p = (1.0 - pe[j]) + (pe[j] - pe[j + 1]) * static_cast<double>(r) / static_cast<double>(a + 1);
      z[first[j] + r - 1] = distributions::normal_quantile(p);
    }
  }
  const double n = static_cast<double>(detected.size());
  double sum_z = 0.0, sum_y = 0.0;
  for (std::size_t k = 0; k < detected.size(); ++k) {
    sum_z = sum_z + z[k];
    sum_y = sum_y + detected[k].log_value;
  }
  const double mean_z = sum_z / n, mean_y = sum_y / n;
  double szz = 0.0, szy = 0.0;
  for (std::size_t k = 0; k < detected.size(); ++k) {
    szz = szz + (z[k] - mean_z) * (z[k] - mean_z);
    szy = szy + (z[k] - mean_z) * (detected[k].log_value - mean_y);
  }
  fit.slope = szy / szz;
  fit.intercept = mean_y - fit.slope * mean_z;
  // Every plotting position lies strictly between 0 and 1 (each B_j counts the entries below L_j itself), so two
  // different values give a finite fit; the check keeps a position rounded to 0 in a huge table from imputing NaN.
  fit.defined = szz > 0.0 && std::isfinite(fit.slope) && std::isfinite(fit.intercept);
  if (!fit.defined) return fit;

  for (std::size_t j = 1; j <= m; ++j) {
    LimitImputation& limit = fit.limits[j - 1];
    limit.log_values.reserve(limit.count);
    for (std::size_t r = 1; r <= limit.count; ++r) {
      const double p = (1.0 - pe[j]) * static_cast<double>(r) / static_cast<double>(limit.count + 1);
      const double v = fit.intercept + fit.slope * distributions::normal_quantile(p);
      limit.log_values.push_back(v);
      if (v > limit.log_limit) ++limit.above_limit;
    }
  }
  return fit;
}

}  // namespace core
