// Gauss-Legendre integral of t^(a-1) e^-t over a narrow interval, scaled by the integrand's value at its lower end.
#include <array>
#include <cassert>
#include <cmath>

#include "distributions/internal/gamma_integral_methods.h"
#include "distributions/internal/log_scale_support.h"

namespace distributions::detail {

namespace {

// Positive nodes of the 16-point Gauss-Legendre rule on [-1, 1] and their weights: the roots of the Legendre
// polynomial of degree 16, found by Newton's method at 50 digits, and 2 / ((1 - x^2) P16'(x)^2).
constexpr std::array<double, 8> nodes = {0.98940093499164993, 0.94457502307323258, 0.86563120238783174,
                                         0.75540440835500303, 0.61787624440264375, 0.45801677765722739,
                                         0.28160355077925891, 0.09501250983763744};
constexpr std::array<double, 8> weights = {0.027152459411754095, 0.062253523938647893, 0.095158511682492785,
                                           0.12462897125553387,  0.14959598881657673,  0.16915651939500254,
                                           0.18260341504492359,  0.1894506104550685};

}  // namespace

double narrow_interval_quadrature(double a, double lo, double hi) {
  assert(a >= 0.0 && lo > 0.0 && lo < hi && hi < INFINITY);
  // t = lo e^s: t^(a-1) e^-t dt = lo^a e^-lo exp(a s - lo (e^s - 1)) ds on [0, ln(hi/lo)]; the exponent is
  // formed from s and expm1(s) alone, so a narrow interval keeps all its digits.
  const double half = 0.5 * log_ratio(hi, lo);
  std::array<double, 16> exponents;
  double largest = -INFINITY;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    for (int side = 0; side < 2; ++side) {
      const double s = half * (side == 0 ? 1.0 - nodes[i] : 1.0 + nodes[i]);
      const double v = a * s - lo * std::expm1(s);
      exponents[2 * i + side] = v;
      if (v > largest) largest = v;
    }
  }
  double sum = 0.0;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    sum += weights[i] * (std::exp(exponents[2 * i] - largest) + std::exp(exponents[2 * i + 1] - largest));
  }
  return (a * std::log(lo) - lo) + largest + std::log(half * sum);
}

}  // namespace distributions::detail
