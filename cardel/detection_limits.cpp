// The summary of a table holding results below detection limits, with values imputed by regression on order statistics.
#include "cardel/detection_limits.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "core/order_statistics_regression.h"

namespace cardel {

namespace {

bool is_measurement(double v) { return v >= 0.0; }

// The logs of all measurements with their kinds for the regression; counts zeros and entries <X on the way.
std::vector<std::uint8_t> take_logarithms(GroupTable& t, GroupSummary& r) {
  std::vector<std::uint8_t> kinds;
  t.logy.clear();
  t.logy_below.clear();
  t.logy.reserve(t.y.size());
  t.logy_below.reserve(t.y.size());
  kinds.reserve(t.y.size());
  for (std::size_t e = 0; e < t.y.size(); ++e) {
    const double v = t.y[e];
    if (t.below[e] != 0) {
      assert(v > 0.0);  // the reader takes only positive limits
      kinds.push_back(core::below_limit);
      t.logy.push_back(std::log(v));
      r.below_limit += 1;
    } else if (!is_measurement(v)) {
      continue;
    } else if (v == 0.0) {
      kinds.push_back(core::detected_zero);
      t.logy.push_back(std::log(zero_substitute));
      r.zeros_substituted += 1;
    } else {
      kinds.push_back(core::detected);
      t.logy.push_back(std::log(v));
    }
    t.logy_below.push_back(t.below[e]);
  }
  t.nlog = static_cast<std::int64_t>(t.logy.size());
  return kinds;
}

// The index in fit.limits of the limit whose log is `log_limit`; the logs are those of take_logarithms, so equal.
std::size_t limit_index(const core::OrderStatisticsFit& fit, double log_limit) {
  const auto it = std::lower_bound(fit.limits.begin(), fit.limits.end(), log_limit,
                                   [](const core::LimitImputation& l, double v) { return l.log_limit < v; });
  assert(it != fit.limits.end() && it->log_limit == log_limit);
  return static_cast<std::size_t>(it - fit.limits.begin());
}

// Each limit whose imputed values exceed it, shown by the smallest X read for it.
void record_exceeded_limits(const GroupTable& t, const core::OrderStatisticsFit& fit, GroupSummary& r) {
  std::vector<double> shown(fit.limits.size(), INFINITY);
  for (std::size_t e = 0; e < t.y.size(); ++e) {
    if (t.below[e] == 0) continue;
    double& x = shown[limit_index(fit, std::log(t.y[e]))];
    x = std::min(x, t.y[e]);
  }
  for (std::size_t j = 0; j < fit.limits.size(); ++j) {
    const core::LimitImputation& limit = fit.limits[j];
    if (limit.above_limit > 0)
      r.exceeded_limits.push_back(
          {shown[j], static_cast<std::int64_t>(limit.count), static_cast<std::int64_t>(limit.above_limit)});
  }
}

// exp(3.92 s) of the spread s of the logged group means around the log of their arithmetic average, as for a
// table without limits.
double fold_range(const std::vector<double>& log_means, double sum_mean) {
  const std::int32_t ngroup = static_cast<std::int32_t>(log_means.size());
  if (ngroup == 0) return -1.0;
  if (ngroup == 1) return 0.0;
  const double c = std::log(sum_mean / ngroup);
  double d = 0.0;
  for (double v : log_means) d = d + (v - c) * (v - c);
  return std::exp(std::sqrt(d / (ngroup - 1)) * fold_factor);
}

}  // namespace

GroupSummary summarize_with_limits(GroupTable& t) {
  assert(t.below.size() == t.y.size() && !t.y.empty());
  GroupSummary r;
  const std::vector<std::uint8_t> kinds = take_logarithms(t, r);
  assert(r.below_limit > 0);
  const core::OrderStatisticsFit fit = core::fit_order_statistics(t.logy.data(), kinds.data(), t.logy.size());
  r.distinct_detected = static_cast<std::int64_t>(fit.distinct_detected);
  if (!fit.defined) return r;  // the -1 markers
  r.imputed = true;
  record_exceeded_limits(t, fit, r);

  // The imputed values, and for each limit their mean, which stands for an entry below it in its group's mean.
  std::vector<std::vector<double>> imputed(fit.limits.size());
  std::vector<double> limit_mean(fit.limits.size());
  for (std::size_t j = 0; j < fit.limits.size(); ++j) {
    double s = 0.0;
    for (double v : fit.limits[j].log_values) {
      imputed[j].push_back(std::exp(v));
      s = s + imputed[j].back();
    }
    limit_mean[j] = s / static_cast<double>(fit.limits[j].count);
  }

  // All measurements: the detected values in table order, then the imputed values by limit and rank; the log of
  // an imputed value is the fitted a + b z itself.
  double sum_y = 0.0, sum_y2 = 0.0, sum_log = 0.0;
  for (std::size_t e = 0; e < t.y.size(); ++e) {
    const double v = t.y[e];
    if (t.below[e] != 0 || !is_measurement(v)) continue;
    sum_y = sum_y + v;
    sum_y2 = sum_y2 + v * v;
  }
  for (std::int64_t k = 0; k < t.nlog; ++k)
    if (t.logy_below[k] == 0) sum_log = sum_log + t.logy[k];
  for (std::size_t j = 0; j < fit.limits.size(); ++j) {
    for (double x : imputed[j]) {
      sum_y = sum_y + x;
      sum_y2 = sum_y2 + x * x;
    }
    for (double v : fit.limits[j].log_values) sum_log = sum_log + v;
  }
  const double count = static_cast<double>(t.nlog);  // at least 3: two different detected values and an entry <X
  r.mean_y = sum_y / count;
  r.mean_log = sum_log / count;
  r.gm_y = std::exp(r.mean_log);
  double squares = 0.0;
  for (std::int64_t k = 0; k < t.nlog; ++k)
    if (t.logy_below[k] == 0) squares = squares + (t.logy[k] - r.mean_log) * (t.logy[k] - r.mean_log);
  for (const core::LimitImputation& limit : fit.limits)
    for (double v : limit.log_values) squares = squares + (v - r.mean_log) * (v - r.mean_log);
  r.sd_log = std::sqrt(squares / (count - 1));
  r.gsd_y = std::exp(r.sd_log);
  // One pass from the running totals, as without limits; rounding may make the radicand slightly negative (NaN).
  r.sd_y = std::sqrt((sum_y2 - count * r.mean_y * r.mean_y) / (count - 1));

  // Group means in group order, each over its rows in order; groups without measurements are left out.
  const std::size_t nrow = static_cast<std::size_t>(t.nrow);
  std::vector<double> log_means;
  double sum_mean = 0.0;
  for (std::size_t j = 0; j < static_cast<std::size_t>(t.ncol); ++j) {
    double s = 0.0;
    std::int32_t m = 0;
    for (std::size_t e = j * nrow; e < (j + 1) * nrow; ++e) {
      if (t.below[e] != 0) {
        s = s + limit_mean[limit_index(fit, std::log(t.y[e]))];
      } else if (is_measurement(t.y[e])) {
        s = s + t.y[e];
      } else {
        continue;
      }
      m += 1;
    }
    if (m == 0) continue;
    const double mean = s / m;
    sum_mean = sum_mean + mean;
    log_means.push_back(std::log(mean));  // ln 0 for an all-zero group: -inf, left unguarded as without limits
  }
  r.fold_range = fold_range(log_means, sum_mean);
  std::vector<double>().swap(t.y);
  std::vector<std::uint8_t>().swap(t.below);
  return r;
}

}  // namespace cardel
