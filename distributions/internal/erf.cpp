// Rational approximations of erf and erfc in three ranges of |x| with one shared coefficient set.
#include "distributions/internal/erf.h"

#include <array>
#include <cmath>

#include "distributions/internal/machine_constants.h"

namespace distributions {

namespace {

// Small form, |x| <= 0.5, in t = x*x.
constexpr std::array<double, 5> a = {7.7105849500132e-05, -0.00133733772997339, 0.0323076579225834, 0.0479137145607681,
                                     0.128379167095513};
constexpr std::array<double, 3> b = {0.00301048631703895, 0.0538971687740286, 0.375795757275549};
// Middle form, 0.5 < |x| <= 4, in |x|.
constexpr std::array<double, 8> p = {-1.36864857382717e-07, 0.564195517478974, 7.21175825088309, 43.1622272220567,
                                     152.98928504694,       339.320816734344,  451.918953711873, 300.459261020162};
constexpr std::array<double, 8> q = {1.0,
                                     12.7827273196294,
                                     77.0001529352295,
                                     277.585444743988,
                                     638.980264465631,
                                     931.35409485061,
                                     790.950925327898,
                                     300.459260956983};
// Large form, |x| > 4, in t = 1/(x*x).
constexpr std::array<double, 5> r = {2.10144126479064, 26.2370141675169, 21.3688200555087, 4.6580782871847,
                                     0.282094791773523};
constexpr std::array<double, 4> s = {94.153775055546, 187.11481179959, 99.0191814623914, 18.0124575948747};
constexpr double c = 0.564189583547756;  // 1/sqrt(pi)

// Ratio top/bot of the small form at t = x*x.
double small_ratio(double t) {
  const double top = (((a[0] * t + a[1]) * t + a[2]) * t + a[3]) * t + a[4] + 1.0;
  const double bot = ((b[0] * t + b[1]) * t + b[2]) * t + 1.0;
  return top / bot;
}

// Numerator and denominator of the middle form at ax = |x|.
void middle_parts(double ax, double& top, double& bot) {
  top = p[0];
  bot = q[0];
  for (int i = 1; i < 8; ++i) {
    top = top * ax + p[i];
    bot = bot * ax + q[i];
  }
}

// Numerator and denominator of the large form at t = 1/(x*x).
void large_parts(double t, double& top, double& bot) {
  top = (((r[0] * t + r[1]) * t + r[2]) * t + r[3]) * t + r[4];
  bot = (((s[0] * t + s[1]) * t + s[2]) * t + s[3]) * t + 1.0;
}

}  // namespace

double erf_fn(double x) {
  const double ax = std::fabs(x);
  if (ax <= 0.5) return x * small_ratio(x * x);
  if (ax <= 4.0) {
    double top, bot;
    middle_parts(ax, top, bot);
    const double res = 0.5 + (0.5 - std::exp(-x * x) * top / bot);
    return x < 0.0 ? -res : res;
  }
  if (ax < 5.8) {
    const double x2 = x * x;
    double top, bot;
    large_parts(1.0 / x2, top, bot);
    const double v = (c - top / (x2 * bot)) / ax;
    const double res = 0.5 + (0.5 - std::exp(-x2) * v);
    return x < 0.0 ? -res : res;
  }
  if (ax >= 5.8) return x < 0.0 ? -1.0 : 1.0;
  return x;  // NaN stays NaN
}

double erfc_fn(int ind, double x) {
  const double ax = std::fabs(x);
  if (ax <= 0.5) {
    const double t = x * x;
    const double res = 0.5 + (0.5 - x * small_ratio(t));
    return ind == 0 ? res : res * std::exp(t);
  }
  double v;
  if (ax <= 4.0) {
    double top, bot;
    middle_parts(ax, top, bot);
    v = top / bot;
  } else {
    if (x <= -5.6) return ind == 0 ? 2.0 : 2.0 * std::exp(x * x);
    if (ind == 0 && (x > 100.0 || x * x > -exp_limit(1))) return 0.0;
    double t = 1.0 / x;
    t = t * t;
    double top, bot;
    large_parts(t, top, bot);
    v = (c - t * top / bot) / ax;
  }
  if (ind == 0) {
    const double res = std::exp(-x * x) * v;
    return x < 0.0 ? 2.0 - res : res;
  }
  return x < 0.0 ? 2.0 * std::exp(x * x) - v : v;
}

}  // namespace distributions
