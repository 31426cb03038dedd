// The regularised gamma functions of one shape over a range of arguments, interpolated from a table: the estimates'
// closed form reads them at every grid point and threshold, and a direct evaluation costs some twenty times more.
#pragma once

#include <array>
#include <vector>

namespace vantor {

// ln P(a, t) + t (lower) or ln Q(a, t) + t (upper) as a function of s = ln t: smooth on the whole line, with its
// first two derivatives in closed form (with r = d ln P / ds = t^a e^-t / (Gamma(a) P), or -t^a e^-t / (Gamma(a) Q),
// d2 ln P / ds2 = r (a - t - r)), so quintic Hermite interpolation between nodes 1/64 of a unit of s apart (closer
// for a large shape, whose P changes over a width of about 1 / sqrt(a) in s) keeps P or Q within
// gamma_table_error(t) of the directly computed value.
struct GammaTable {
  double a = 0.0;
  bool upper = false;
  double s_lo = 0.0, s_hi = 0.0;  // the range covered
  double steps_per_unit = 0.0;
  std::vector<std::array<double, 6>> polynomials;  // per step, in u = (s - node) * steps_per_unit from 0 to 1

  bool covers(double s) const { return s >= s_lo && s <= s_hi; }
};

// Relative error bound of P or Q from the table at t, for shapes up to max_table_shape (the term in t is the
// rounding of t, which ln P + t cancels).
inline double gamma_table_error(double t) { return 1e-12 + 2e-15 * t; }
constexpr double max_table_shape = 5000.0;

// The nodes for shape a > 0 from s_lo to at least s_hi, computed on up to `threads` threads (the same bits on any
// number). An empty table (none covers anything) when a lies above max_table_shape or the range would need more
// than max_nodes nodes.
GammaTable gamma_table(double a, bool upper, double s_lo, double s_hi, int threads, int max_nodes = 32768);

// ln P(a, e^s) + e^s (or ln Q) at s within the table's range, and its derivative in s (through `slope`).
inline double gamma_table_value(const GammaTable& table, double s, double& slope) {
  const double x = (s - table.s_lo) * table.steps_per_unit;
  int i = static_cast<int>(x);
  if (i >= static_cast<int>(table.polynomials.size())) i = static_cast<int>(table.polynomials.size()) - 1;
  const double u = x - i;
  const std::array<double, 6>& c = table.polynomials[i];
  slope = (c[1] + u * (2.0 * c[2] + u * (3.0 * c[3] + u * (4.0 * c[4] + u * (5.0 * c[5]))))) * table.steps_per_unit;
  return c[0] + u * (c[1] + u * (c[2] + u * (c[3] + u * (c[4] + u * c[5]))));
}

}  // namespace vantor
