// Band posterior for several values: band masses from the gamma distribution function.
#include <cmath>
#include <vector>

#include "distributions/cdf.h"
#include "vantor/band_posterior.h"
#include "vantor/run_values.h"

namespace vantor {

namespace {

// The factor f = r^a is computed as written while the largest one over the grid
// stays a normal number; beyond that (many values: r^a underflows everywhere,
// or overflows for tightly clustered values) every f is divided by the largest
// r^a, which cancels in the normalisation.
double largest_r(const std::vector<double>& s) {
  double smallest = INFINITY;
  for (double v : s)
    if (v > 0.0 && v < smallest) smallest = v;
  return std::isfinite(smallest) ? 2.0 / smallest : 0.0;
}

}  // namespace

BandProbabilities compute_band_posterior_many(const BandSettings& settings) {
  const double a = (value_count - 1) * 0.5;
  std::vector<double> mu, s;
  grid_sums(settings, log_values, mu, s);
  const double r_max = largest_r(s);
  const double f_max = std::pow(r_max, a);
  const bool rescale = r_max > 0.0 && !(std::isfinite(f_max) && f_max > 1e-290);

  BandProbabilities sums;
  double t[7];
  double P[6];
  double C[7];
  double cum = 0.0, ccum = 0.0;
  for (int j = 0; j < grid_points; ++j) {
    const double r = 2.0 / s[j];
    band_breakpoints(settings, mu[j], r, t);
    const double f = rescale ? std::pow(r / r_max, a) : std::pow(r, a);
    for (int k = 1; k <= 5; ++k) P[k] = 0.0;
    distributions::cdf_gamma(t[1], a, cum, ccum);
    C[1] = f * cum;
    for (int i = 2; i <= 6; ++i) {
      if (t[i] == t[i - 1]) {
        C[i] = C[i - 1];
      } else {
        distributions::cdf_gamma(t[i], a, cum, ccum);
        C[i] = f * cum;
        P[7 - i] = C[i] - C[i - 1];
      }
    }
    accumulate_bands(sums, P, settings.band_prior);
  }
  normalise_bands(sums);
  return sums;
}

bool band_posterior_many(const BandSettings& settings, textio::OutputFile& file) {
  const BandProbabilities result = compute_band_posterior_many(settings);
  return write_band_file(file, "out_bayes.txt", many_values_unit, settings.band_prior, result);
}

}  // namespace vantor
