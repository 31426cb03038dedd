// Group and log-scale statistics of the measurement table: the whole computation of cardel.
#pragma once

#include <cstdint>
#include <vector>

#include "cardel/uniform_random.h"

namespace cardel {

// Single-precision constants used in double arithmetic, as their exact doubles.
constexpr double replacement_width = 0.05000000074505806;   // 0.05
constexpr double replacement_base = 0.9750000238418579;     // 0.975
constexpr double zero_substitute = 1.0000000116860974e-07;  // 1e-7, stands for a zero before its logarithm
constexpr double fold_factor = 3.9200000762939453;          // 3.92

// A detection limit X some of whose imputed values exceed it.
struct ExceededLimit {
  double limit = 0.0;        // X as read
  std::int64_t entries = 0;  // entries <X
  std::int64_t above = 0;    // values imputed for them that are above X
};

struct GroupSummary {
  double fold_range = -1.0;            // exp(3.92 s) of the logged group means; -1 none, 0 one group
  double mean_y = -1.0;                // arithmetic mean of all measurements
  double sd_y = -1.0;                  // their standard deviation (one-pass formula)
  double gm_y = -1.0;                  // geometric mean
  double gsd_y = -1.0;                 // geometric standard deviation
  double mean_log = -1.0;              // mean of the logarithms
  double sd_log = -1.0;                // standard deviation of the logarithms (two-pass)
  bool randomly_replaced = false;      // the measurements were all equal and replaced by random values
  std::int64_t zeros_substituted = 0;  // zero measurements taken as 1e-7 for their logarithms
  // Entries below a detection limit (see detection_limits.h); without them the rest stays as it is here.
  std::int64_t below_limit = 0;                // entries <X
  std::int64_t distinct_detected = 0;          // different detected values (a zero as 1e-7) among the others
  bool imputed = false;                        // the results use values imputed for the entries <X
  std::vector<ExceededLimit> exceeded_limits;  // limits some of whose imputed values exceed them, ascending
};

// The table and working arrays of one run. `y` is stored group by group:
// y[(j-1)*nrow + (i-1)] is row i of group j; a negative entry is a missing
// measurement, an entry >= 0.0 (also -0.0) a measurement. An entry <X, a result
// below the detection limit X, is the measurement y = X flagged in `below`.
struct GroupTable {
  std::int32_t nrow = 0;                 // rows: largest number of measurements in a group
  std::int32_t ncol = 0;                 // groups
  std::vector<double> y;                 // nrow * ncol entries; released after the group pass
  std::vector<std::uint8_t> below;       // 1 where y holds the X of an entry <X; empty when the table has none
  std::vector<double> logy;              // logarithms of all measurements, group after group
  std::vector<std::uint8_t> logy_below;  // 1 where logy holds ln X of an entry <X; empty when the table has none
  std::int64_t nlog = 0;                 // number of entries of logy in use
};

// Computes the summary and fills table.logy/nlog. When the table holds at
// least two measurements and all are equal, they are first replaced by random
// values within 2.5 % of that value, drawn from a generator seeded with `seed`.
// A table with entries <X is summarized by summarize_with_limits instead.
GroupSummary summarize_groups(GroupTable& table, std::uint64_t seed);

}  // namespace cardel
