// The likelihood of one grid point as a function of sigma when results may lie below detection limits: its peak,
// its band masses by adaptive Gauss-Kronrod quadrature, and the cumulative profile the estimates read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vantor/band_grid.h"
#include "vantor/censored_values.h"

namespace vantor {

// One grid point's likelihood: ln f(sigma) = -n_d ln sigma - S_d / (2 sigma^2) + sum over the limits of
// count ln Phi((ln limit - mu) / sigma), the constant factors of the normal density left out (they cancel).
struct PointLikelihood {
  double mu = 0.0;
  double detected = 0.0;  // n_d
  double squares = 0.0;   // S_d, the sum of (y - mu)^2 over the detected values
  const LimitGroup* limits = nullptr;
  std::size_t limit_count = 0;
};

// ln f(sigma) for sigma >= 0 (at 0 its limit, +infinity when the mass diverges there).
double log_likelihood(const PointLikelihood& point, double sigma);

// Whether f has no bound as sigma -> 0: every detected value equals mu (S_d = 0, n_d >= 1) and no limit lies
// below mu. With a lower sigma bound of 0 the band masses are then infinite.
bool unbounded_at_zero(const PointLikelihood& point);

// The peak of f over [sigma_lo, sigma_hi]: f is unimodal there, since ln f(1/u) is concave in u.
struct Peak {
  double sigma = 0.0;      // where f is largest
  double log_value = 0.0;  // ln f there: the point's scale
  double width = 0.0;      // sigma^2 / sqrt(-d2 ln f / du2) at an inner peak, else a width from the slope
};
Peak find_peak(const PointLikelihood& point, double sigma_lo, double sigma_hi);

// One panel of the cumulative profile: the integral of g = f e^-(peak's ln f) from the lower sigma bound to `a`,
// and where its Legendre coefficients lie among the profile's: those of the polynomial through g at the panel's 21
// Kronrod points (on [-1, 1]), up to the last one that is not negligible (the profiles are the estimates' largest
// memory, and their sums the longer the more coefficients).
constexpr int profile_degree = 20;
struct ProfilePanel {
  double a = 0.0, b = 0.0;
  double below = 0.0;
  std::uint32_t first = 0;   // c_0 in the coefficients
  std::uint32_t degree = 0;  // the last c_k kept
};

// The integral of g from the lower sigma bound to `sigma`, within `panel` (a <= sigma <= b) whose coefficients lie in
// `coefficients`, and g there.
double cumulative_at(const ProfilePanel& panel, const double* coefficients, double next_below, double sigma,
                     double* density = nullptr);

// One grid point's band masses and, when asked, its cumulative profile.
struct SigmaProfile {
  Peak peak;
  BandMasses log_masses{};           // ln of each band's mass, on the scale ln f (-infinity: none)
  std::vector<ProfilePanel> panels;  // ascending in sigma, each with g's integral below it (kept only when asked)
  std::vector<double> coefficients;  // the panels' Legendre coefficients
  double profile_total = 0.0;        // g's integral over the whole range (with the panels)
  long long evaluations = 0;         // evaluations of f
  long long unconverged = 0;         // panels split as far as allowed without reaching the tolerance
};

// Integrates f over each band's sigma interval [sigma(k), sigma(k+1)] (band k = 1..5 stored from [0]), sigma(1..6)
// ascending within [sigma_lo, sigma_hi], by Gauss-Kronrod panels split at the peak and wherever the error estimate
// asks for it: each band to a relative error of about 1e-10 of the point's whole mass or of the band's own. Panels
// that the peak's unimodality bounds below 1e-18 of the whole are left out (their band gets no mass), unless they
// make up a band whose weight could make it count against the weighted mass of the others.
void integrate_profile(const PointLikelihood& point, const Peak& peak, const Breakpoints& band_sigma, double sigma_lo,
                       double sigma_hi, const double (&weights)[bands], bool keep_panels, SigmaProfile& out);

// sigma(1..6) of one grid point: the band breakpoints as band_precisions gives them, within [sigma_lo, sigma_hi].
void band_sigmas(const BreakpointBasis& basis, double mu, Breakpoints& sigma);

}  // namespace vantor
