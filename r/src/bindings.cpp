// The package's way into the pipeline's computations: R vectors in, the core's plain results out as R lists.
#include <Rcpp.h>
#include <Rinternals.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/analysis.h"
#include "core/logged_values.h"

namespace {

std::vector<std::uint8_t> flags_of(const Rcpp::LogicalVector& below) {
  std::vector<std::uint8_t> flags(below.size());
  for (R_xlen_t i = 0; i < below.size(); ++i) flags[i] = below[i] == TRUE ? 1 : 0;
  return flags;
}

// The settings as in_bayes.txt would hold them; there is no file, so refusals name no line.
core::Settings settings_of(double limit, const Rcpp::NumericVector& gm_bounds, const Rcpp::NumericVector& gsd_bounds,
                           const Rcpp::NumericVector& weights) {
  core::Settings s;
  s.limit = limit;
  for (int i = 0; i < 2; ++i) {
    s.gm_bounds[i] = gm_bounds[i];
    s.gsd_bounds[i] = gsd_bounds[i];
  }
  for (int k = 0; k < core::band_count; ++k) s.band_prior[k] = weights[k];
  return s;
}

// "invalid setting <setting> = <values>: <rule>", as the programs word it but without a file to name.
std::string refusal_text(const core::Refusal& refusal) {
  return "invalid setting " + refusal.setting + " = " + refusal.values + ": " + refusal.rule;
}

void check_interrupt(void*) { R_CheckUserInterrupt(); }

// True when the user asked R to stop: the check runs where R may unwind, never through the computation.
bool user_interrupted() { return R_ToplevelExec(check_interrupt, nullptr) == FALSE; }

Rcpp::NumericVector column(const double* values, int count) { return Rcpp::NumericVector(values, values + count); }

}  // namespace

// The group summary of a table given as values with their group numbers (1, 2, ... in order of first
// appearance); entries marked below are detection limits. The seed is given in two 32-bit halves.
// [[Rcpp::export(.group_summary_core)]]
Rcpp::List group_summary_core(Rcpp::NumericVector values, Rcpp::IntegerVector group, Rcpp::LogicalVector below,
                              double seed_high, double seed_low) {
  int groups = 0;
  for (int g : group) groups = std::max(groups, g);
  std::vector<int> rows(groups, 0);
  for (int g : group) ++rows[g - 1];
  int nrow = 0;
  for (int r : rows) nrow = std::max(nrow, r);
  core::GroupTable table;
  table.ncol = groups;
  table.nrow = nrow;
  table.y.assign(static_cast<std::size_t>(groups) * nrow, -1.0);  // shorter groups end in missing entries
  bool any_below = false;
  for (int b : below) any_below = any_below || b == TRUE;
  if (any_below) table.below.assign(table.y.size(), 0);
  std::fill(rows.begin(), rows.end(), 0);
  for (R_xlen_t i = 0; i < values.size(); ++i) {
    const int g = group[i] - 1;
    const std::size_t at = static_cast<std::size_t>(g) * nrow + rows[g]++;
    table.y[at] = values[i];
    if (any_below) table.below[at] = below[i] == TRUE ? 1 : 0;
  }
  const std::uint64_t seed = (static_cast<std::uint64_t>(seed_high) << 32) | static_cast<std::uint64_t>(seed_low);
  const core::GroupSummary s = core::group_summary(table, seed);
  Rcpp::NumericVector exceeded_limits, exceeded_entries, exceeded_above;
  for (const auto& e : s.exceeded_limits) {
    exceeded_limits.push_back(e.limit);
    exceeded_entries.push_back(static_cast<double>(e.entries));
    exceeded_above.push_back(static_cast<double>(e.above));
  }
  return Rcpp::List::create(
      Rcpp::Named("fold_range") = s.fold_range, Rcpp::Named("mean") = s.mean_y, Rcpp::Named("sd") = s.sd_y,
      Rcpp::Named("gm") = s.gm_y, Rcpp::Named("gsd") = s.gsd_y, Rcpp::Named("n") = static_cast<double>(table.nlog),
      Rcpp::Named("groups") = groups, Rcpp::Named("below") = static_cast<double>(s.below_limit),
      Rcpp::Named("distinct_detected") = static_cast<double>(s.distinct_detected),
      Rcpp::Named("imputed") = s.imputed, Rcpp::Named("randomly_replaced") = s.randomly_replaced,
      Rcpp::Named("zeros") = static_cast<double>(s.zeros_substituted),
      Rcpp::Named("exceeded") = Rcpp::DataFrame::create(Rcpp::Named("limit") = exceeded_limits,
                                                        Rcpp::Named("entries") = exceeded_entries,
                                                        Rcpp::Named("above") = exceeded_above));
}

// The log values vantor would read for these measurements.
// [[Rcpp::export(.logs_as_read)]]
Rcpp::NumericVector logs_as_read(Rcpp::NumericVector values, Rcpp::LogicalVector below) {
  const std::vector<std::uint8_t> flags = flags_of(below);
  const std::vector<double> logs = core::logs_as_read(std::vector<double>(values.begin(), values.end()), flags);
  return Rcpp::NumericVector(logs.begin(), logs.end());
}

// The normality test of the measurements: statistic and p-value, -9 and -9 where there is no test.
// [[Rcpp::export(.normality_core)]]
Rcpp::NumericVector normality_core(Rcpp::NumericVector values, Rcpp::LogicalVector below) {
  const std::vector<std::uint8_t> flags = flags_of(below);
  const std::vector<double> logs = core::logs_as_read(std::vector<double>(values.begin(), values.end()), flags);
  const core::NormalityTest test = core::normality_test(logs, flags);
  return Rcpp::NumericVector::create(test.statistic, test.pvalue);
}

// The refusal of the settings for `count` values, or "" when they can be used.
// [[Rcpp::export(.settings_refusal)]]
std::string settings_refusal(double limit, Rcpp::NumericVector gm_bounds, Rcpp::NumericVector gsd_bounds,
                             Rcpp::NumericVector weights, double count) {
  const auto refusal =
      core::check_settings(settings_of(limit, gm_bounds, gsd_bounds, weights), static_cast<std::size_t>(count));
  return refusal ? refusal_text(*refusal) : "";
}

// The band probabilities and, when asked, the estimates of the measurements under checked settings, with what
// the run reported: its outcome, a refusal's text, the integrator's counts and the prior-bound warnings.
// [[Rcpp::export(.bands_core)]]
Rcpp::List bands_core(Rcpp::NumericVector values, Rcpp::LogicalVector below, double limit,
                      Rcpp::NumericVector gm_bounds, Rcpp::NumericVector gsd_bounds, Rcpp::NumericVector weights,
                      bool with_estimates, int threads) {
  const std::vector<std::uint8_t> flags = flags_of(below);
  const std::vector<double> logs = core::logs_as_read(std::vector<double>(values.begin(), values.end()), flags);
  const core::Settings settings = settings_of(limit, gm_bounds, gsd_bounds, weights);
  Rcpp::CharacterVector warnings;
  for (const core::PriorWarning& w : core::prior_warnings(logs, flags, settings)) warnings.push_back(w.text);

  core::BandOptions options;
  options.threads = threads;
  options.interrupted = user_interrupted;
  const core::BandAnalysis analysis = core::band_analysis(logs, flags, settings, with_estimates, options);
  const core::BandRun& run = analysis.run;
  std::string outcome = "computed", refusal;
  switch (run.outcome) {
    case core::BandRun::Outcome::computed:
      break;
    case core::BandRun::Outcome::refused:
      outcome = "refused";
      refusal = refusal_text(core::data_refusal(settings, run));
      break;
    case core::BandRun::Outcome::stopped:
      outcome = "stopped";
      break;
    case core::BandRun::Outcome::interrupted:
      outcome = "interrupted";
      break;
  }
  Rcpp::NumericMatrix estimates(vantor::quantity_count, vantor::percentile_count);
  for (int q = 0; q < vantor::quantity_count; ++q)
    for (int p = 0; p < vantor::percentile_count; ++p)
      estimates(q, p) = analysis.estimates_computed ? analysis.estimates.value[q][p] : NA_REAL;
  return Rcpp::List::create(
      Rcpp::Named("outcome") = outcome, Rcpp::Named("refusal") = refusal,
      Rcpp::Named("flat") = column(run.probabilities.likelihood, core::band_count),
      Rcpp::Named("weighted") = column(run.probabilities.posterior, core::band_count),
      Rcpp::Named("estimates") = estimates, Rcpp::Named("printed") = run.printed,
      Rcpp::Named("warned") = static_cast<double>(run.integrals_warned),
      Rcpp::Named("warned_beyond") = static_cast<double>(run.warned_beyond_tolerance),
      Rcpp::Named("unfinished") = static_cast<double>(run.integrals_unfinished),
      Rcpp::Named("missed") = static_cast<double>(run.masses_missed), Rcpp::Named("warnings") = warnings);
}
