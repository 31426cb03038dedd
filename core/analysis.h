// The pipeline's computations for any host: plain functions over plain structs that read and write no file,
// print nothing and never end the process. cardel, vantor and the tests call them; so can other languages.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "cardel/group_statistics.h"
#include "vantor/band_posterior.h"
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

}  // namespace core
