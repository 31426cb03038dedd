// Temme's uniform expansion of the incomplete gamma ratio for large a, with its coefficient tables.
#include <array>
#include <cmath>
#include <cstddef>

#include "distributions/internal/erf.h"
#include "distributions/internal/gamma_ratio.h"
#include "distributions/internal/gamma_ratio_methods.h"
#include "textio/one_based.h"

namespace distributions::detail {

namespace {

// Constant terms d_k0 of the coefficient polynomials c_k(z), k = 0..7.
constexpr std::array<double, 8> d_k0 = {-0.333333333333333,   -0.00185185185185185,  0.00413359788359788,
                                        0.000649434156378601, -0.000861888290916712, -0.000336798553366358,
                                        0.000531307936463992, 0.000344367606892378};

// Higher terms d_k(1), d_k(2), ... of c_k(z), in that order.
constexpr std::array<double, 13> d0 = {
    0.0833333333333333,   -0.0148148148148148,   0.00115740740740741,   0.000352733686067019, -0.000178755144032922,
    3.91926317852244e-05, -2.18544851067999e-06, -1.85406221071516e-06, 8.29671134095309e-07, -1.76659527368261e-07,
    6.7078535434015e-09,  1.02618097842403e-08,  -4.38203601845335e-09};
constexpr std::array<double, 12> d1 = {-0.00347222222222222, 0.00264550264550265,   -0.00099022633744856,
                                       0.000205761316872428, -4.01877572016461e-07, -1.809855033449e-05,
                                       7.64916091608111e-06, -1.61209008945634e-06, 4.64712780280743e-09,
                                       1.37863344691572e-07, -5.7525456035177e-08,  1.19516285997781e-08};
constexpr std::array<double, 10> d2 = {
    -0.00268132716049383,  0.000771604938271605, 2.0093878600823e-06,  -0.000107366532263652, 5.29234488291201e-05,
    -1.27606351886187e-05, 3.42357873409614e-08, 1.37219573090629e-06, -6.29899213838006e-07, 1.42806142060642e-07};
constexpr std::array<double, 8> d3 = {0.000229472093621399,  -0.000469189494395256, 0.000267720632062839,
                                      -7.56180167188398e-05, -2.3965051138673e-07,  1.10826541153473e-05,
                                      -5.6749528269916e-06,  1.42309007324359e-06};
constexpr std::array<double, 6> d4 = {0.000784039221720067, -0.00029907248030319,  -1.46384525788434e-06,
                                      6.64149821546512e-05, -3.96836504717943e-05, 1.13757269706784e-05};
constexpr std::array<double, 4> d5 = {-6.97281375836586e-05, 0.000277275324495939, -0.000199325705161888,
                                      6.79778047793721e-05};
constexpr std::array<double, 2> d6 = {-0.000592166437353694, 0.000270878209671804};

// c_k(z) using the first n higher terms of dk: Horner from d_k(n) down to d_k(1), then
// multiplied by z and increased by d_k0.
template <std::size_t N>
double coefficient(int k, const std::array<double, N>& dk, int n, double z) {
  const auto d = textio::one_based(dk);  // d(j) is d_k(j)
  double v = d(n);
  for (int j = n - 1; j >= 1; --j) v = v * z + d(j);
  return v * z + d_k0[k];
}

// Level-1 sum c0 + c1 u + ... + c6 u^6 + d70 u^7 with the given term counts for c0..c6.
double level1_sum(const std::array<int, 7>& terms, double z, double u) {
  const double c0 = coefficient(0, d0, terms[0], z);
  const double c1 = coefficient(1, d1, terms[1], z);
  const double c2 = coefficient(2, d2, terms[2], z);
  const double c3 = coefficient(3, d3, terms[3], z);
  const double c4 = coefficient(4, d4, terms[4], z);
  const double c5 = coefficient(5, d5, terms[5], z);
  const double c6 = coefficient(6, d6, terms[6], z);
  return ((((((d_k0[7] * u + c6) * u + c5) * u + c4) * u + c3) * u + c2) * u + c1) * u + c0;
}

constexpr std::array<int, 7> long_terms = {13, 12, 10, 8, 6, 4, 2};
constexpr std::array<int, 7> short_terms = {7, 6, 5, 4, 2, 2, 1};

// Shared final step: P or Q from c = exp(-y) (or its near-1 stand-in), w and the sum t; path names the caller.
ratio_result temme_final(double l, double c, double w, double t, double rta, ratio_path path) {
  if (l < 1.0) {
    const double ans = c * (w - rt2pin * t / rta);
    return {ans, complement(ans), path};
  }
  const double qans = c * (w + rt2pin * t / rta);
  return {complement(qans), qans, path};
}

// The signed variable of the expansion: sqrt(2 z), negative for x < a.
double signed_root(double l, double z) {
  const double root = std::sqrt(z + z);
  return l < 1.0 ? -root : root;
}

}  // namespace

ratio_result temme_general(double a, double l, double s, double z, double y, const ratio_level& lv) {
  const double rta = std::sqrt(a);
  const double c = std::exp(-y);
  const double w = 0.5 * erfc_fn(1, std::sqrt(y));
  const double u = 1.0 / a;
  z = signed_root(l, z);
  double t;
  ratio_path path;
  if (lv.level == 1) {
    const bool near = std::fabs(s) <= 1e-3;
    path = near ? ratio_path::temme_general_short : ratio_path::temme_general_long;
    t = level1_sum(near ? short_terms : long_terms, z, u);
  } else if (lv.level == 2) {
    path = ratio_path::temme_general_coarse;
    const double c0 = coefficient(0, d0, 6, z);
    const double c1 = coefficient(1, d1, 4, z);
    const double c2 = coefficient(2, d2, 1, z);
    t = (c2 * u + c1) * u + c0;
  } else {
    path = ratio_path::temme_general_coarse;
    t = coefficient(0, d0, 3, z);
  }
  return temme_final(l, c, w, t, rta, path);
}

ratio_result temme_near_one(double a, double l, double z, double y, const ratio_level& lv) {
  const double rta = std::sqrt(a);
  const double c = complement(y);
  const double w = (0.5 - std::sqrt(y) * complement(y / 3.0) / rtpi) / c;
  const double u = 1.0 / a;
  z = signed_root(l, z);
  double t;
  ratio_path path;
  if (lv.level == 1) {
    path = ratio_path::temme_near_one;
    t = level1_sum(short_terms, z, u);
  } else if (lv.level == 2) {
    path = ratio_path::temme_near_one_coarse;
    const double c0 = coefficient(0, d0, 2, z);
    const double c1 = coefficient(1, d1, 1, z);
    t = (d_k0[2] * u + c1) * u + c0;
  } else {
    path = ratio_path::temme_near_one_coarse;
    t = coefficient(0, d0, 1, z);
  }
  return temme_final(l, c, w, t, rta, path);
}

}  // namespace distributions::detail
