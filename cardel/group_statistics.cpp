// Group and log-scale statistics of the measurement table: the whole computation of cardel.
//
// Four steps, each once: A tests for a constant table, B passes over the groups
// (totals, group means, logarithms), C computes the fold range of the group
// means, D the statistics of all measurements. Sums run in index order from
// 0.0 so that results are reproducible to the last bit.
#include "cardel/group_statistics.h"

#include <cassert>
#include <cmath>

#include "cardel/detection_limits.h"
#include "textio/one_based.h"

namespace cardel {

namespace {

bool is_measurement(double v) { return v >= 0.0; }

// Step A: true when the table holds at least two measurements and all equal its largest entry.
bool table_is_constant(const std::vector<double>& y, double& ymax) {
  std::int64_t count = 0;
  for (double v : y) count += is_measurement(v) ? 1 : 0;
  if (count < 2) return false;
  ymax = y[0];
  for (double v : y)
    if (v > ymax) ymax = v;
  for (double v : y)
    if (is_measurement(v) && v != ymax) return false;
  return true;
}

// Running state of the group pass.
struct GroupPass {
  std::vector<double> ycol;         // the current group, measurements first
  std::vector<double> gmean;        // per group: mean, then its log, then squared deviation
  std::vector<std::int32_t> zflag;  // -1 where the current group's measurement is 0.0
  std::vector<std::int32_t> empty;  // 1 for a group without measurements
  std::int32_t ngroup = 0;          // non-empty groups
  std::int64_t pos = 1;             // where the current group's logarithms begin (1-based)
  double sum_y = 0.0;
  double sum_y2 = 0.0;
  double sum_mean = 0.0;
  std::int64_t zeros_substituted = 0;  // zeros that stood in for 1e-7 before their logarithm
};

// Step B for group j (1-based).
void pass_group(GroupTable& t, GroupPass& g, std::int32_t j, bool allsame, double ymax, UniformRandom& rng) {
  const std::int64_t nrow = t.nrow;
  const double* column = t.y.data() + (j - 1) * nrow;
  const auto ycol = textio::one_based(g.ycol);
  for (std::int64_t i = 1; i <= nrow; ++i) ycol(i) = column[i - 1];
  std::int32_t m = 0;
  for (std::int64_t i = 1; i <= nrow; ++i) m += is_measurement(ycol(i)) ? 1 : 0;
  if (m == 0) {
    textio::one_based(g.empty)(j) = 1;
    g.ngroup -= 1;
    return;
  }
  if (!allsame) {
    std::int32_t k = 0;
    for (std::int64_t i = 1; i <= nrow; ++i)
      if (is_measurement(ycol(i))) ycol(++k) = ycol(i);
  } else {
    for (std::int64_t i = 1; i <= nrow; ++i) ycol(i) = -1.0;
    for (std::int32_t k = 1; k <= m; ++k) ycol(k) = next_uniform(rng);
    for (std::int32_t k = 1; k <= m; ++k) ycol(k) = (ycol(k) * replacement_width + replacement_base) * ymax;
  }
  double s = 0.0;
  for (std::int32_t k = 1; k <= m; ++k) s = s + ycol(k);
  g.sum_y = s + g.sum_y;
  double q = 0.0;
  for (std::int32_t k = 1; k <= m; ++k) q = q + ycol(k) * ycol(k);
  g.sum_y2 = q + g.sum_y2;
  double& gmean = textio::one_based(g.gmean)(j);
  gmean = s / m;
  g.sum_mean = g.sum_mean + gmean;
  gmean = std::log(gmean);  // ln 0 for an all-zero group: -inf, left unguarded
  t.nlog = g.pos + m - 1;
  std::int32_t zeros = 0;
  for (std::int32_t k = 1; k <= m; ++k) zeros += ycol(k) == 0.0 ? 1 : 0;
  if (zeros > 0) {
    const auto zflag = textio::one_based(g.zflag);
    for (std::int64_t i = 1; i <= nrow; ++i) zflag(i) = 0;
    for (std::int32_t k = 1; k <= m; ++k)
      if (ycol(k) == 0.0) zflag(k) = -1;
    for (std::int32_t k = 1; k <= m; ++k) ycol(k) = ycol(k) - zflag(k) * zero_substitute;
    g.zeros_substituted += zeros;
  }
  const auto logy = textio::one_based(t.logy);
  for (std::int32_t k = 1; k <= m; ++k) logy(g.pos + k - 1) = std::log(ycol(k));
  g.pos = t.nlog + 1;
}

// Step C: exp(3.92 s) of the spread s of the logged group means around the
// log of their arithmetic average.
double fold_range_of_groups(GroupPass& g) {
  if (g.ngroup == 0) return -1.0;
  if (g.ngroup == 1) return 0.0;
  const double c = std::log(g.sum_mean / g.ngroup);
  for (double& v : g.gmean) v = (v - c) * (v - c);
  double d = 0.0;
  for (std::size_t j = 0; j < g.gmean.size(); ++j)
    if (g.empty[j] == 0) d = d + g.gmean[j];
  return std::exp(std::sqrt(d / (g.ngroup - 1)) * fold_factor);
}

// Step D: statistics of all measurements from the totals and the logarithms.
void overall_statistics(const GroupTable& t, const GroupPass& g, GroupSummary& r) {
  const std::int64_t n = t.nlog;
  const auto logy = textio::one_based(t.logy);
  if (n == 0) {
    r.mean_log = r.sd_log = r.gm_y = r.gsd_y = r.mean_y = r.sd_y = -1.0;
  } else if (n == 1) {
    r.mean_log = logy(1);
    r.gm_y = std::exp(r.mean_log);
    r.sd_log = 0.0;
    r.gsd_y = 0.0;
    r.sd_y = 0.0;
    r.mean_y = g.sum_y;
  } else {
    const double count = static_cast<double>(n);
    r.mean_y = g.sum_y / count;
    double sum = 0.0;
    for (std::int64_t k = 1; k <= n; ++k) sum = sum + logy(k);
    r.mean_log = sum / count;
    r.gm_y = std::exp(r.mean_log);
    double squares = 0.0;
    for (std::int64_t k = 1; k <= n; ++k) squares = squares + (logy(k) - r.mean_log) * (logy(k) - r.mean_log);
    r.sd_log = std::sqrt(squares / (count - 1));
    r.gsd_y = std::exp(r.sd_log);
    // One pass from the running totals; rounding may make the radicand slightly negative (NaN).
    r.sd_y = std::sqrt((g.sum_y2 - count * r.mean_y * r.mean_y) / (count - 1));
  }
}

}  // namespace

GroupSummary summarize_groups(GroupTable& t, std::uint64_t seed) {
  assert(t.nrow >= 0 && t.ncol >= 0);
  assert(t.y.size() == static_cast<std::size_t>(t.nrow) * static_cast<std::size_t>(t.ncol));
  if (!t.below.empty()) return summarize_with_limits(t);
  GroupSummary r;
  t.nlog = 0;
  // Without rows or groups every group is empty: all results are the -1
  // markers, and no per-group storage is needed (a header may promise
  // two billion empty groups).
  if (t.y.empty()) return r;
  double ymax = 0.0;
  const bool allsame = table_is_constant(t.y, ymax);
  UniformRandom rng;
  if (allsame) {
    seed_uniform(rng, seed);
    r.randomly_replaced = true;
  }

  GroupPass g;
  g.ngroup = t.ncol;
  if (t.ncol > 0) {
    g.ycol.assign(t.nrow, 0.0);
    g.zflag.assign(t.nrow, 0);
  }
  g.gmean.assign(t.ncol, -1.0);
  g.empty.assign(t.ncol, 0);
  t.logy.assign(t.y.size(), 0.0);
  t.nlog = 0;
  for (std::int32_t j = 1; j <= t.ncol; ++j) pass_group(t, g, j, allsame, ymax, rng);
  std::vector<double>().swap(t.y);  // the table is not needed any more

  r.fold_range = fold_range_of_groups(g);
  std::vector<std::int32_t>().swap(g.empty);
  overall_statistics(t, g, r);
  r.zeros_substituted = g.zeros_substituted;
  return r;
}

}  // namespace cardel
