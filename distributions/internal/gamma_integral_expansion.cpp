// Tails of the gamma integral for large a near the mode: a Gaussian times a power series, integrated term by term.
#include <array>
#include <cassert>
#include <cmath>

#include "distributions/internal/erf.h"
#include "distributions/internal/gamma_integral_methods.h"

namespace distributions::detail {

namespace {

// Taylor coefficients f_j of f(z) = z / (m - 1) about z = 0, where m = t/a and z^2/2 = m - 1 - ln m with z of
// the sign of m - 1, found by series reversion in exact rational arithmetic (1, -1/3, 1/12, -2/135, 1/864, ...;
// tests/distributions/make_log_scale_reference.py --tables prints them). The nearest singularities of f lie at
// |z| = 2 sqrt(pi), so at |z| <= 1 the 32 terms kept reach 2^-55.
constexpr std::array<double, 32> f_coefficients = {
    1.0,
    -0.33333333333333333,
    0.083333333333333333,
    -0.014814814814814815,
    0.0011574074074074074,
    0.0003527336860670194,
    -0.00017875514403292181,
    3.9192631785224378e-5,
    -2.1854485106799922e-6,
    -1.85406221071516e-6,
    8.296711340953086e-7,
    -1.7665952736826079e-7,
    6.7078535434014986e-9,
    1.0261809784240308e-8,
    -4.3820360184533532e-9,
    9.1476995822367902e-10,
    -2.551419399494625e-11,
    -5.8307721325504251e-11,
    2.4361948020667416e-11,
    -5.0276692801141756e-12,
    1.1004392031956135e-13,
    3.3717632624009854e-13,
    -1.3923887224181621e-13,
    2.8534893807047443e-14,
    -5.1391118342425726e-16,
    -1.9752288294349443e-15,
    8.0995211567045613e-16,
    -1.6522531216398162e-16,
    2.5305430097478884e-18,
    1.1686939738559577e-17,
    -4.7700370498204848e-18,
    9.6991260590562371e-19,
};

}  // namespace

double tail_expansion(double a, double dev, bool upper) {
  assert(a >= expansion_min_a && dev >= 0.0 && dev <= expansion_max_dev);
  // With t = a m, t^(a-1) e^-t dt = a^a e^-a e^(-a z^2/2) f(z) dz, so the upper tail is
  //   a^a e^-a int_e^inf e^(-a z^2/2) f(z) dz = x^a e^-x sum_j f_j m_j,
  //   m_j = e^(a e^2/2) int_e^inf z^j e^(-a z^2/2) dz,
  // e = |z(x)|, and the lower tail the same with f_j (-1)^j (z -> -z). The moments follow from
  //   m_0 = sqrt(pi/(2a)) erfcx(e sqrt(a/2)), m_1 = 1/a, m_j = (e^(j-1) + (j-1) m_(j-2)) / a,
  // a recurrence of positive terms. For a >= 50 the Gaussian keeps the moments inside f's circle of
  // convergence, so the sum converges with the Taylor series itself.
  const double e = std::sqrt(2.0 * dev);
  const double inv_a = 1.0 / a;
  const double sign = upper ? 1.0 : -1.0;
  double m_older = std::sqrt(0.5 * M_PI) / std::sqrt(a) * erfc_fn(1, e * std::sqrt(0.5 * a));  // m_(j-2)
  double m_old = inv_a;                                                                        // m_(j-1)
  double sum = f_coefficients[0] * m_older + sign * f_coefficients[1] * m_old;
  double e_power = 1.0;  // e^(j-1)
  double sign_power = sign;
  for (std::size_t j = 2; j < f_coefficients.size(); ++j) {
    e_power *= e;
    sign_power *= sign;
    const double m = (e_power + static_cast<double>(j - 1) * m_older) * inv_a;
    sum += sign_power * f_coefficients[j] * m;
    m_older = m_old;
    m_old = m;
  }
  return std::log(sum);
}

}  // namespace distributions::detail
