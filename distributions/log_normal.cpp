// ln Phi(z) from the scaled complementary error function, and its inverse by Newton's method on ln Phi.
#include <cassert>
#include <cfloat>
#include <cmath>

#include "distributions/internal/erf.h"
#include "distributions/log_scale.h"

namespace distributions {

namespace {

constexpr double sqrt_two_pi = 2.5066282746310005024;
constexpr double sqrt_two_over_pi = 0.79788456080286535588;

// z*z as hi + lo exactly (Dekker's splitting), so that e^(-z^2/2) carries no rounding of the square; beyond
// 1e150 the square is far outside every range where that matters.
void exact_square(double z, double& hi, double& lo) {
  hi = z * z;
  lo = 0.0;
  if (std::fabs(z) > 1e150) return;
  const double c = 134217729.0 * z;  // 2^27 + 1
  const double zh = c - (c - z);
  const double zl = z - zh;
  lo = ((zh * zh - hi) + 2.0 * zh * zl) + zl * zl;
}

// ln Phi(z) for finite z, and the hazard phi(z)/Phi(z) when asked. Phi(z) = erfc(y)/2 with y = -z/sqrt(2):
// below z = -1/sqrt(2) the scaled form e^(y^2) erfc(y) keeps the tail's log from underflowing, between the
// two the plain erfc is near 1, and above it 1 - Phi = e^(-z^2/2) erfcx(-y)/2 goes to log1p.
double log_cdf(double z, double* hazard) {
  const double y = -z * M_SQRT1_2;
  if (y > 0.5) {
    double hi, lo;
    exact_square(z, hi, lo);
    const double scaled = erfc_fn(1, y);
    if (hazard != nullptr) *hazard = sqrt_two_over_pi / scaled;
    return -0.5 * hi + (std::log(0.5 * scaled) - 0.5 * lo);
  }
  if (y >= -0.5) {
    const double cdf = 0.5 * erfc_fn(0, y);
    if (hazard != nullptr) *hazard = std::exp(-0.5 * z * z) / (sqrt_two_pi * cdf);
    return std::log(cdf);
  }
  double hi, lo;
  exact_square(z, hi, lo);
  // lo is below 2^-53 hi, so e^(-lo/2) = 1 - lo/2 to far beyond double precision.
  const double upper = 0.5 * erfc_fn(1, -y) * std::exp(-0.5 * hi) * (1.0 - 0.5 * lo);
  if (hazard != nullptr) *hazard = std::exp(-0.5 * z * z) / (sqrt_two_pi * (1.0 - upper));
  return std::log1p(-upper);
}

// Phi^-1(p) for 0 < p < 1/4: Newton's method on g(z) = ln Phi(z) - ln p, whose slope is the hazard. g is
// concave, so from a start below the root every step stays below it and the steps shrink monotonically; the
// start -sqrt(-2 ln p) lies below the root because ln Phi(z) < -z^2/2 there.
double lower_tail_quantile(double p) {
  const double target = std::log(p);
  double z = -std::sqrt(-2.0 * target);
  double last_step = INFINITY;
  for (int i = 0; i < 100; ++i) {
    double hazard;
    const double step = (log_cdf(z, &hazard) - target) / hazard;
    // The steps shrink in exact arithmetic; one no smaller than the last is rounding, and z is as
    // close as the arithmetic gets (taking it would only flip between two neighbouring results).
    if (std::fabs(step) >= last_step) return z;
    z -= step;
    if (std::fabs(step) <= 4.0 * DBL_EPSILON * std::fabs(z)) return z;
    last_step = std::fabs(step);
  }
  assert(false && "normal quantile iteration did not settle");
  return z;
}

// Phi^-1(p) for 1/4 <= p < 1/2: Newton's method on Phi(z) - p = erf(z/sqrt(2))/2 - (p - 1/2), where p - 1/2 is
// exact, so that z keeps its relative accuracy down to z near 0. Phi is convex below 0 and the start
// sqrt(2 pi)(p - 1/2) lies above the root (Phi(z) >= 1/2 + phi(0) z there), so the steps go down monotonically.
double central_quantile(double p) {
  const double offset = p - 0.5;
  double z = sqrt_two_pi * offset;
  double last_step = INFINITY;
  for (int i = 0; i < 100; ++i) {
    const double density = std::exp(-0.5 * z * z) / sqrt_two_pi;
    const double step = (0.5 * erf_fn(z * M_SQRT1_2) - offset) / density;
    if (std::fabs(step) >= last_step) return z;  // rounding, as in the lower tail
    z -= step;
    if (std::fabs(step) <= 4.0 * DBL_EPSILON * std::fabs(z)) return z;
    last_step = std::fabs(step);
  }
  assert(false && "normal quantile iteration did not settle");
  return z;
}

}  // namespace

double log_normal_cdf(double z) {
  if (std::isnan(z)) return z;
  if (z == -INFINITY) return -INFINITY;
  if (z == INFINITY) return 0.0;
  return log_cdf(z, nullptr);
}

double normal_quantile(double p) {
  if (!(p >= 0.0 && p <= 1.0)) return NAN;
  if (p == 0.0) return -INFINITY;
  if (p == 1.0) return INFINITY;
  if (p == 0.5) return 0.0;
  // 1 - p is exact for p >= 1/2, so the upper half is the mirror of the lower at no loss.
  if (p > 0.5) return -normal_quantile(1.0 - p);
  return p < 0.25 ? lower_tail_quantile(p) : central_quantile(p);
}

}  // namespace distributions
