// Gamma(a) by a rational form on [1, 2) with recurrence below 15, Stirling's sum with reflection above.
#include <array>
#include <cmath>

#include "distributions/internal/gamma_functions.h"
#include "distributions/internal/machine_constants.h"

namespace distributions {

namespace {

// Gamma(1 + x) = top/bot for 0 <= x < 1; index 0 is the highest power.
constexpr std::array<double, 7> p = {0.000539637273585445,
                                     0.0026193926004269,
                                     0.020449366759492,
                                     0.0730981088720487,
                                     0.279648642639792,
                                     0.553413866010467,
                                     1.0};
constexpr std::array<double, 7> q = {-0.000832979206704073,
                                     0.00470059485860584,
                                     0.022521113103534,
                                     -0.17045896931336,
                                     -0.056790276197494,
                                     1.13062953091122,
                                     1.0};
// Correction terms of the modified Stirling sum, highest power of 1/x^2 first.
constexpr std::array<double, 5> r = {0.000820756370353826, -0.000595156336428591, 0.000793650663183693,
                                     -0.00277777777770481, 0.0833333333333333};
constexpr double pi = 3.1415926535898;
constexpr double d = 0.4189385332046727;  // ln(2*pi)/2 - 1/2

// Gamma(a) for |a| < 15: shift a into [1, 2) and apply the recurrence factor t.
double gamma_small(double a) {
  double x = a;
  double t = 1.0;
  int m = static_cast<int>(a) - 1;
  if (m > 0) {
    for (int j = 0; j < m; ++j) {
      x = x - 1.0;
      t = x * t;
    }
    x = x - 1.0;
  } else if (m == 0) {
    x = x - 1.0;
  } else {
    t = a;
    if (a <= 0.0) {
      m = -m - 1;
      for (int j = 0; j < m; ++j) {
        x = x + 1.0;
        t = x * t;
      }
      x = (x + 0.5) + 0.5;
      t = x * t;
      if (t == 0.0) return 0.0;  // a pole: zero or a negative whole number
    }
    // Keep 1/t from overflowing when a lies very close to a pole.
    if (std::fabs(t) < 1e-30) {
      if (std::fabs(t) * machine_real(3) <= 1.0001) return 0.0;
      return 1.0 / t;
    }
  }
  double top = p[0];
  double bot = q[0];
  for (int i = 1; i < 7; ++i) {
    top = p[i] + x * top;
    bot = q[i] + x * bot;
  }
  return a < 1.0 ? (top / bot) / t : (top / bot) * t;
}

}  // namespace

double gamma_fn(double a) {
  if (std::fabs(a) < 15.0) return gamma_small(a);
  if (std::fabs(a) >= 1000.0) return 0.0;
  double x = a;
  double s = 0.0;
  if (a < 0.0) {
    // Reflection: Gamma(a) = 1/(Gamma(-a) * s * (-a)) with s = (-1)^(n+1) sin(pi t)/pi.
    x = -a;
    const int n = static_cast<int>(x);
    double t = x - n;
    if (t > 0.9) t = 1.0 - t;
    s = std::sin(pi * t) / pi;
    if (n % 2 == 0) s = -s;
    if (s == 0.0) return 0.0;
  }
  const double t = 1.0 / (x * x);
  double g = ((((r[0] * t + r[1]) * t + r[2]) * t + r[3]) * t + r[4]) / x;
  g = (d + g) + (x - 0.5) * (std::log(x) - 1.0);  // ln Gamma(x)
  if (g > 0.99999 * exp_limit(0)) return 0.0;
  const double result = std::exp(g);
  return a < 0.0 ? (1.0 / (result * s)) / x : result;
}

}  // namespace distributions
