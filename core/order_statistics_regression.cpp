// Regression on order statistics: values for results below detection limits, from a lognormal fit to the detected ones.
#include "core/order_statistics_regression.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "distributions/log_scale.h"

namespace core {

namespace {

// A detected value: where it ranks (-infinity for a zero, below every limit), the log it is fitted with, and the
// entry it came from.
struct Detected {
  double rank;
  double log_value;
  std::size_t entry;
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

// The entries pooled and ranked: what both the fit and the plotting positions start from.
struct Pooled {
  std::vector<Detected> detected;                     // ascending by rank
  std::vector<std::pair<double, std::size_t>> below;  // (log limit, entry), ascending by limit
  std::vector<LimitImputation> limits;                // one per distinct limit, ascending; log_limit and count set
  // Limit j is limits[j - 1]. first[j] is the index of the first detected value at or above L_j, so A_j is
  // first[j + 1] - first[j] and first[j] detected values lie below L_j; pe[j] as in the header.
  std::vector<std::size_t> first;
  std::vector<double> pe;
};

Pooled pool_entries(const double* log_values, const std::uint8_t* kinds, std::size_t count) {
  Pooled pooled;
  for (std::size_t i = 0; i < count; ++i) {
    assert(std::isfinite(log_values[i]) && kinds[i] <= detected_zero);
    if (kinds[i] == below_limit) {
      pooled.below.emplace_back(log_values[i], i);
    } else {
      pooled.detected.push_back({kinds[i] == detected_zero ? -INFINITY : log_values[i], log_values[i], i});
    }
  }
  std::sort(pooled.detected.begin(), pooled.detected.end(), ranks_before);
  std::sort(pooled.below.begin(), pooled.below.end());
  for (std::size_t k = 0; k < pooled.below.size();) {
    std::size_t end = k;
    while (end < pooled.below.size() && pooled.below[end].first == pooled.below[k].first) ++end;
    pooled.limits.push_back({pooled.below[k].first, end - k, {}, 0});
    k = end;
  }

  const std::vector<Detected>& detected = pooled.detected;
  const std::size_t m = pooled.limits.size();
  std::vector<std::size_t>& first = pooled.first;
  first.assign(m + 2, 0);
  first[m + 1] = detected.size();
  for (std::size_t j = 1; j <= m; ++j) {
    const double limit = pooled.limits[j - 1].log_limit;
    first[j] =
        static_cast<std::size_t>(std::lower_bound(detected.begin(), detected.end(), limit,
                                                  [](const Detected& d, double value) { return d.rank < value; }) -
                                 detected.begin());
  }
  std::vector<std::size_t> below_up_to(m + 1, 0);  // entries below a limit X <= L_j
  for (std::size_t j = 1; j <= m; ++j) below_up_to[j] = below_up_to[j - 1] + pooled.limits[j - 1].count;
  std::vector<double>& pe = pooled.pe;
  pe.assign(m + 2, 0.0);
  for (std::size_t j = m; j >= 1; --j) {
    const double a = static_cast<double>(first[j + 1] - first[j]);
    const double b = static_cast<double>(first[j] + below_up_to[j]);
    pe[j] = a + b == 0.0 ? pe[j + 1] : pe[j + 1] + a / (a + b) * (1.0 - pe[j + 1]);
  }
  pe[0] = 1.0;
  return pooled;
}

// The plotting position of the detected value of rank r (1-based) within [L_j, L_(j+1)).
double detected_position(const Pooled& pooled, std::size_t j, std::size_t r) {
  const std::size_t a = pooled.first[j + 1] - pooled.first[j];
  return (1.0 - pooled.pe[j]) + (pooled.pe[j] - pooled.pe[j + 1]) * static_cast<double>(r) / static_cast<double>(a + 1);
}

// The plotting position of the entry of rank r (1-based) below L_j.
double below_position(const Pooled& pooled, std::size_t j, std::size_t r) {
  return (1.0 - pooled.pe[j]) * static_cast<double>(r) / static_cast<double>(pooled.limits[j - 1].count + 1);
}

}  // namespace

OrderStatisticsFit fit_order_statistics(const double* log_values, const std::uint8_t* kinds, std::size_t count) {
  OrderStatisticsFit fit;
  const Pooled pooled = pool_entries(log_values, kinds, count);
  const std::vector<Detected>& detected = pooled.detected;
  const std::vector<std::size_t>& first = pooled.first;
  fit.limits = pooled.limits;
  fit.detected = detected.size();
  fit.distinct_detected = distinct_logs(detected);
  if (fit.distinct_detected < 2) return fit;
  const std::size_t m = fit.limits.size();

  // Normal scores of the detected values' plotting positions, in ascending order of the values.
  std::vector<double> z(detected.size());
  for (std::size_t j = 0; j <= m; ++j) {
    const std::size_t a = first[j + 1] - first[j];
    for (std::size_t r = 1; r <= a; ++r)
      z[first[j] + r - 1] = distributions::normal_quantile(detected_position(pooled, j, r));
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
      const double v = fit.intercept + fit.slope * distributions::normal_quantile(below_position(pooled, j, r));
      limit.log_values.push_back(v);
      if (v > limit.log_limit) ++limit.above_limit;
    }
  }
  return fit;
}

std::vector<double> plotting_positions(const double* log_values, const std::uint8_t* kinds, std::size_t count) {
  const Pooled pooled = pool_entries(log_values, kinds, count);
  std::vector<double> positions(count);
  for (std::size_t j = 0; j + 1 < pooled.first.size(); ++j)
    for (std::size_t k = pooled.first[j]; k < pooled.first[j + 1]; ++k)
      positions[pooled.detected[k].entry] = detected_position(pooled, j, k - pooled.first[j] + 1);
  std::size_t next = 0;
  for (std::size_t j = 1; j <= pooled.limits.size(); ++j)
    for (std::size_t r = 1; r <= pooled.limits[j - 1].count; ++r)
      positions[pooled.below[next++].second] = below_position(pooled, j, r);
  return positions;
}

}  // namespace core
