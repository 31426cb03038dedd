// x - 1 - ln(x): direct away from 1, a reduced-argument rational form on [0.61, 1.57].
#include <cmath>

#include "distributions/internal/gamma_functions.h"

namespace distributions {

double logdev_fn(double x) {
  constexpr double p0 = 0.333333333333333;
  constexpr double p1 = -0.224696413112536;
  constexpr double p2 = 0.00620886815375787;
  constexpr double q1 = -1.27408923933623;
  constexpr double q2 = 0.354508718369557;
  if (x < 0.61 || x > 1.57) return ((x - 0.5) - 0.5) - std::log(x);
  // Reduce to u near 0 around one of the centres 0.7, 1 and 4/3; w1 is the value at the centre.
  double u;
  double w1;
  if (x < 0.82) {
    u = (x - 0.7) / 0.7;
    w1 = 0.0566749439387324 - 0.3 * u;  // 0.7 - 1 - ln 0.7
  } else if (x <= 1.18) {
    u = (x - 0.5) - 0.5;
    w1 = 0.0;
  } else {
    u = 0.75 * x - 1.0;
    w1 = 0.0456512608815524 + u / 3.0;  // 4/3 - 1 - ln(4/3)
  }
  const double r = u / (u + 2.0);
  const double t = r * r;
  const double w = ((p2 * t + p1) * t + p0) / ((q2 * t + q1) * t + 1.0);
  return 2.0 * t * (1.0 / (1.0 - r) - r * w) + w1;
}

}  // namespace distributions
