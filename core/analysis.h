// The pipeline's computations for any host: plain functions over plain structs that read and write no file,
// print nothing and never end the process. cardel, vantor and the tests call them; so can other languages.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cardel/group_statistics.h"
#include "vantor/band_posterior.h"
#include "vantor/estimates.h"
#include "vantor/prior_warnings.h"
#include "vantor/settings.h"

namespace core {

// ---- The group summary of a measurement table ----

using cardel::GroupSummary;  // fold range, mean, sd, gm, gsd of all measurements, and what was replaced
using cardel::GroupTable;    // the table, group by group (a negative entry is missing); the logs on return

// The summary of `table`, whose logarithms of all measurements it fills in (table.logy, table.nlog). `seed`
// drives the random replacement of a table whose measurements are all equal.
GroupSummary group_summary(GroupTable& table, std::uint64_t seed);

// ---- The normality test of log values ----

struct NormalityTest {
  double statistic = -9.0;  // chi-square statistic; -9 when there is no test
  double pvalue = -9.0;     // its p-value; -9 when there is no test
};

// Pearson's chi-square test with ceil(2 n^0.4) equal-probability classes and their count less 3 degrees of
// freedom; no test (-9, -9) for fewer than 2 values or values all equal.
NormalityTest normality_test(std::span<const double> log_values);

// ---- The band probabilities ----

using vantor::BandOptions;  // threads, and a way for the host to end a long run
using vantor::BandRun;      // the probabilities with what the integrator reported
using vantor::Refusal;      // a setting that cannot be used, and why
using vantor::Settings;     // limit, geometric-mean and geometric-standard-deviation bounds, band weights

// The reason the settings cannot be used for `value_count` values, or none.
std::optional<Refusal> check_settings(const Settings& settings, std::size_t value_count);

// The flat and weighted probabilities of the five bands for at least one log value under settings that
// check_settings accepts, with the integrator's messages and counts for a single value. A run the data
// leave undefined comes back refused; data_refusal says why.
BandRun band_probabilities(std::span<const double> log_values, const Settings& settings,
                           const BandOptions& options = {});

// The refusal of a run that band_probabilities refused, naming the setting to change.
Refusal data_refusal(const Settings& settings, const BandRun& run);

// ---- Results below detection limits, the estimates and the warnings ----
// In what follows `below` flags the log values: below[i] != 0 when log_values[i] is ln of a detection limit below
// which result i lies (as logy.txt holds it, "<v"); an empty `below` flags none.

// The normality test, or no test (-9, -9) when any result lies below a detection limit.
NormalityTest normality_test(std::span<const double> log_values, std::span<const std::uint8_t> below);

// The band probabilities: without an entry below a limit exactly band_probabilities above (the same bits); with
// them each detected value contributes its normal density and each entry <v Phi((v - mu)/sigma), the band masses
// integrated over sigma numerically.
BandRun band_probabilities(std::span<const double> log_values, std::span<const std::uint8_t> below,
                           const Settings& settings, const BandOptions& options = {});

using vantor::Estimates;  // value[quantity][percentile]: the rows and columns of out_estimates.txt

// The band probabilities and, when `with_estimates`, the posterior percentiles of the five quantities under the
// weighted posterior (estimates_computed says whether they were: not for a run refused, stopped or interrupted).
struct BandAnalysis {
  BandRun run;
  bool estimates_computed = false;
  Estimates estimates;
};
BandAnalysis band_analysis(std::span<const double> log_values, std::span<const std::uint8_t> below,
                           const Settings& settings, bool with_estimates, const BandOptions& options = {});

// The estimates of a run without values: -1 everywhere.
Estimates no_value_estimates();

// The lines of the result files as vantor writes them, without their CR LF.
std::vector<std::string> pvalue_file_lines(const NormalityTest& test);
std::vector<std::string> bayes_file_lines(const Settings& settings, const BandRun& run);
std::vector<std::string> estimates_file_lines(const Estimates& estimates);

using vantor::PriorWarning;      // what lies outside which bounds, and the warning's text
using vantor::PriorWarningKind;  // gm_below, gm_above, gsd_below, gsd_above, few_detected

// When the prior bounds rather than the values decide the answer: the values' geometric mean outside the
// geometric-mean bounds, their geometric standard deviation outside its bounds (at least 2 values), fewer than 2
// results above a detection limit. With entries below a limit the statistics use the values regression on order
// statistics imputes, when it can. For settings that check_settings accepts.
std::vector<PriorWarning> prior_warnings(std::span<const double> log_values, std::span<const std::uint8_t> below,
                                         const Settings& settings);

}  // namespace core
