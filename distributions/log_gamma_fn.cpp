// ln Gamma(a) for a > 0: Taylor series about 1 and 2, the recurrence between them, Stirling's series from 10 on.
#include <array>
#include <cmath>

#include "distributions/internal/log_scale_support.h"
#include "distributions/log_scale.h"

namespace distributions {

namespace {

// (-1)^k (zeta(k) - 1)/k for k = 2..28: the Taylor coefficients of ln Gamma(1 + x) + ln(1 + x) - (1 - gamma) x
// about x = 0, computed at 50 digits from the zeta function (make_log_scale_reference.py --tables in
// tests/distributions prints them, with the tables below). They fall like 2^-k, so 27 terms reach 2^-54 at
// |x| = 1/2.
constexpr std::array<double, 27> zeta_terms = {
    0.32246703342411322,   -0.067352301053198095,   0.020580808427784548,   -0.0073855510286739853,
    0.0028905103307415233, -0.001192753911703261,   0.00050966952474304242, -0.00022315475845357938,
    9.9457512781808534e-5, -4.4926236738133142e-5,  2.0507212775670692e-5,  -9.4394882752683959e-6,
    4.3748667899074878e-6, -2.0392157538013662e-6,  9.5514121304074198e-7,  -4.492469198764566e-7,
    2.1207184805554666e-7, -1.00432248239681e-7,    4.7698101693639806e-8,  -2.2711094608943165e-8,
    1.0838659214896954e-8, -5.1834750419700467e-9,  2.4836745438024783e-9,  -1.1921401405860912e-9,
    5.731367241678862e-10, -2.7595228851242331e-10, 1.3304764374244489e-10,
};

// B(2k)/(2k (2k - 1)) for k = 1..8, the Bernoulli-number coefficients of Stirling's series in 1/a. The first
// term left out is below 2e-18 from a = 10 on.
constexpr std::array<double, 8> stirling_terms = {
    0.083333333333333333,   -0.0027777777777777778, 0.00079365079365079365, -0.00059523809523809524,
    0.00084175084175084175, -0.0019175269175269175, 0.0064102564102564103,  -0.029550653594771242,
};

constexpr double euler_gamma = 0.57721566490153286061;
constexpr double half_log_two_pi = 0.91893853320467274178;

// ln Gamma(2 + x) - (1 - gamma) x for |x| <= 1/2, the sum over zeta_terms.
double zeta_series(double x) {
  double s = 0.0;
  for (int k = static_cast<int>(zeta_terms.size()) - 1; k >= 0; --k) s = (s + zeta_terms[k]) * x;
  return s * x;
}

// ln Gamma(2 + x) for |x| <= 1/2; no logarithm, so the zero at x = 0 keeps its relative accuracy.
double log_gamma_2p(double x) { return (1.0 - euler_gamma) * x + zeta_series(x); }

// ln Gamma(1 + x) for |x| <= 1/2, from ln Gamma(2 + x) = ln(1 + x) + ln Gamma(1 + x).
double log_gamma_1p(double x) { return log_gamma_2p(x) - std::log1p(x); }

// Stirling's series sum of B(2k)/(2k (2k - 1) a^(2k - 1)) for a >= 10.
double stirling_series(double a) {
  const double t = 1.0 / (a * a);
  double s = 0.0;
  for (int k = static_cast<int>(stirling_terms.size()) - 1; k >= 0; --k) s = s * t + stirling_terms[k];
  return s / a;
}

}  // namespace

double log_gamma_fn(double a) {
  if (!(a >= 0.0)) return NAN;
  if (a == 0.0 || a == INFINITY) return INFINITY;
  if (a < 0.5) return log_gamma_1p(a) - std::log(a);
  if (a < 1.5) return log_gamma_1p(a - 1.0);
  if (a < 2.5) return log_gamma_2p(a - 2.0);
  if (a < 10.0) {
    // Down to [1.5, 2.5) by Gamma(b + 1) = b Gamma(b); at most eight factors below 10, so one rounded product.
    double b = a;
    double product = 1.0;
    while (b >= 2.5) {
      b -= 1.0;
      product *= b;
    }
    return log_gamma_2p(b - 2.0) + std::log(product);
  }
  // (a - 1/2)(ln a - 1) keeps the large terms of (a - 1/2) ln a - a apart from the small ones.
  return (a - 0.5) * (std::log(a) - 1.0) + (half_log_two_pi - 0.5) + stirling_series(a);
}

namespace detail {

double stirling_rest(double a) {
  if (a >= 10.0) return stirling_series(a);
  return log_gamma_fn(a) - ((a - 0.5) * std::log(a) - a + half_log_two_pi);
}

}  // namespace detail

}  // namespace distributions
