// Prints every number the core computes for one data set, as exact hexadecimal doubles, so that another host of
// the core (the R package's tests) can check that it gets the very same bits.
//
// Usage: core_results FILE. FILE holds, in free form: the limit, the two geometric-mean bounds, the two
// geometric-standard-deviation bounds and the five band weights; the seed; the count n; then n lines
// "value below group" (below 1 for a detection limit, group a number from 1 in order of first appearance).
// Output: one line "name value" per number.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/analysis.h"
#include "core/logged_values.h"

namespace {

void print(const std::string& name, double value) { std::printf("%s %a\n", name.c_str(), value); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: core_results FILE\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  core::Settings settings;
  std::uint64_t seed = 0;
  std::size_t n = 0;
  in >> settings.limit >> settings.gm_bounds[0] >> settings.gm_bounds[1] >> settings.gsd_bounds[0] >>
      settings.gsd_bounds[1];
  for (double& w : settings.band_prior) in >> w;
  in >> seed >> n;
  std::vector<double> values(n);
  std::vector<std::uint8_t> below(n);
  std::vector<int> group(n);
  for (std::size_t i = 0; i < n; ++i) {
    int flag = 0;
    in >> values[i] >> flag >> group[i];
    below[i] = static_cast<std::uint8_t>(flag);
  }
  if (!in) {
    std::fprintf(stderr, "core_results: cannot read %s\n", argv[1]);
    return 2;
  }

  // The table as cardel reads it: one column per group, rows in order, shorter groups padded with -1.
  core::GroupTable table;
  for (int g : group) table.ncol = std::max(table.ncol, g);
  std::vector<int> rows(table.ncol, 0);
  for (int g : group) table.nrow = std::max(table.nrow, ++rows[g - 1]);
  table.y.assign(static_cast<std::size_t>(table.ncol) * table.nrow, -1.0);
  table.below.assign(table.y.size(), 0);
  std::fill(rows.begin(), rows.end(), 0);
  bool any_below = false;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = static_cast<std::size_t>(group[i] - 1) * table.nrow + rows[group[i] - 1]++;
    table.y[at] = values[i];
    table.below[at] = below[i];
    any_below = any_below || below[i] != 0;
  }
  if (!any_below) table.below.clear();
  const core::GroupSummary summary = core::group_summary(table, seed);
  print("fold_range", summary.fold_range);
  print("mean", summary.mean_y);
  print("sd", summary.sd_y);
  print("gm", summary.gm_y);
  print("gsd", summary.gsd_y);

  // vantor's view of the same values: their logs as logy.txt holds them, group after group.
  std::vector<double> ordered;
  std::vector<std::uint8_t> ordered_below;
  for (int g = 1; g <= table.ncol; ++g)
    for (std::size_t i = 0; i < n; ++i)
      if (group[i] == g) {
        ordered.push_back(values[i]);
        ordered_below.push_back(below[i]);
      }
  const std::vector<double> logs = core::logs_as_read(ordered, ordered_below);
  below = ordered_below;
  const core::NormalityTest test = core::normality_test(logs, below);
  print("statistic", test.statistic);
  print("pvalue", test.pvalue);
  if (core::check_settings(settings, n)) return 0;
  const core::BandAnalysis analysis = core::band_analysis(logs, below, settings, true, {});
  if (analysis.run.outcome != core::BandRun::Outcome::computed) return 0;
  for (int k = 0; k < core::band_count; ++k) print("flat" + std::to_string(k + 1), analysis.run.probabilities.likelihood[k]);
  for (int k = 0; k < core::band_count; ++k)
    print("weighted" + std::to_string(k + 1), analysis.run.probabilities.posterior[k]);
  for (int q = 0; q < vantor::quantity_count; ++q)
    for (int p = 0; p < vantor::percentile_count; ++p)
      print(std::string(vantor::quantity_names[q]) + "_" + vantor::percentile_names[p], analysis.estimates.value[q][p]);
  return 0;
}
