// Regression on order statistics: values for results below detection limits, from a lognormal fit to the detected ones.
//
// All entries are pooled. With the distinct limits L_1 < ... < L_m, L_0 = 0 and L_(m+1) = infinity:
//   A_j  detected values in [L_j, L_(j+1)), j = 0..m (a detected zero lies below every limit),
//   B_j  detected values below L_j plus entries below a limit X <= L_j,
//   pe_(m+1) = 0, pe_j = pe_(j+1) + A_j/(A_j+B_j) (1 - pe_(j+1)) (pe_(j+1) when A_j+B_j = 0), pe_0 = 1.
// The A_j detected values of [L_j, L_(j+1)), ascending, get the plotting positions
// (1 - pe_j) + (pe_j - pe_(j+1)) r/(A_j+1), r = 1..A_j; the C_j entries below L_j get (1 - pe_j) r/(C_j+1).
// ln(detected) = a + b z(p), z the standard normal quantile, is fitted by ordinary least squares over the detected
// values; the entry below L_j of rank r becomes e^(a + b z(p)) for its plotting position p.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace core {

// What the log value of an entry stands for.
enum EntryKind : std::uint8_t {
  detected = 0,       // the log of a detected value
  below_limit = 1,    // the log of a detection limit: the result was below it
  detected_zero = 2,  // a detected 0, entered with the log of its substitute; it ranks below every limit
};

// The entries below one detection limit.
struct LimitImputation {
  double log_limit = 0.0;          // ln L_j
  std::size_t count = 0;           // C_j, the entries below exactly this limit
  std::vector<double> log_values;  // ln of the values imputed for them, rank r = 1..C_j (empty without a fit)
  std::size_t above_limit = 0;     // how many of those logs exceed ln L_j (the method has no cap)
};

struct OrderStatisticsFit {
  bool defined = false;                 // the detected values hold at least two different logs
  std::size_t detected = 0;             // detected entries, zeros included
  std::size_t distinct_detected = 0;    // different logs among them
  double intercept = 0.0;               // a
  double slope = 0.0;                   // b
  std::vector<LimitImputation> limits;  // one per distinct limit, ascending
};

// Fits and imputes over `count` entries in any order: log_values[i] is the log of entry i (of its limit when
// kinds[i] is below_limit), all finite. Comparisons between values and limits are made on the logs. The fit's
// sums run over the detected values in ascending order (zeros first), two-pass: means, then the centred products.
OrderStatisticsFit fit_order_statistics(const double* log_values, const std::uint8_t* kinds, std::size_t count);

// The plotting position p of every entry, in the order given, as fit_order_statistics assigns them: a detected
// value by its rank within its stratum, the entries below L_j ranked in the order given (they form a set). Defined
// whatever the number of different detected values; with no entry below a limit, p = r/(n+1) by rank r.
std::vector<double> plotting_positions(const double* log_values, const std::uint8_t* kinds, std::size_t count);

}  // namespace core
