// exp(x) - 1 without cancellation: a rational form for |x| <= 0.15, the exponential beyond.
#include <cmath>

#include "distributions/internal/gamma_functions.h"

namespace distributions {

double expm1_fn(double x) {
  constexpr double p1 = 9.14041914819518e-10;
  constexpr double p2 = 0.0238082361044469;
  constexpr double q1 = -0.499999999085958;
  constexpr double q2 = 0.107141568980644;
  constexpr double q3 = -0.0119041179760821;
  constexpr double q4 = 0.000595130811860248;
  if (std::fabs(x) <= 0.15) {
    return x * (((p2 * x + p1) * x + 1.0) / ((((q4 * x + q3) * x + q2) * x + q1) * x + 1.0));
  }
  const double w = std::exp(x);
  if (x > 0.0) return w * (0.5 + (0.5 - 1.0 / w));
  return (w - 0.5) - 0.5;
}

}  // namespace distributions
