// Posterior probabilities of the five bands of R = (lognormal 95th percentile) / limit.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "vantor/band_grid.h"
#include "vantor/censored_values.h"

namespace vantor {

// How a band computation may run.
struct BandOptions {
  int threads = 0;                    // threads for the one-value grid; 0: one per processor
  std::function<bool()> interrupted;  // asked now and then on the calling thread; true ends the computation early
};

// What the data leave undefined under the settings, found while computing.
enum class DataRefusal {
  none,
  infinite_mass,         // every value equals a grid value while gsd_bounds(1) = 1: a band's mass is infinite there
  no_mass,               // every band of every grid point has zero width or zero mass: nothing to normalise
  weights_without_mass,  // the weights are 0 on every band that holds probability: nothing to normalise
};

struct BandRun {
  enum class Outcome { computed, refused, stopped, interrupted };
  Outcome outcome = Outcome::computed;
  BandProbabilities probabilities;  // normalised, when computed
  DataRefusal refusal = DataRefusal::none;
  double refusal_mu = 0.0;  // infinite_mass: the grid value every value equals

  // One value: what the integrator printed (its WARNING blocks), in grid order, as a serial run prints it;
  // after a stop it ends with the message of the integral that stopped.
  std::string printed;
  long long integrals_warned = 0;         // integrals that ended with a WARNING, result kept
  long long warned_beyond_tolerance = 0;  // of those, off the exponential integral by more than the requested
                                          // tolerance, and so computed from it instead
  double worst_warned_error = 0.0;        // their largest relative deviation from the exponential integral
  long long integrals_unfinished = 0;     // ended in a FATAL outcome, computed from the exponential integral
  long long masses_missed = 0;            // given as 0 by the integrator although they hold probability, recomputed
  bool logarithmic = false;               // the masses lay outside the double range and were combined as logarithms

  // Values below detection limits: band integrals split as far as allowed without reaching their tolerance.
  long long panels_unconverged = 0;
};

struct PosteriorGrid;

// One value y(1): each band's mass at a grid point is the integral of exp(-t)/t
// over the band's t-interval, by adaptive quadrature, the grid shared among threads.
BandRun band_posterior_one(const BandSettings& settings, std::span<const double> y, const BandOptions& options = {});

// Two or more values: each band's mass is r^a [P(a, t_high) - P(a, t_low)]
// with a = (n - 1)/2 and P the gamma distribution function.
BandRun band_posterior_many(const BandSettings& settings, std::span<const double> y, const BandOptions& options = {});

// Values of which some may lie below detection limits: each band's mass at a grid point is the integral over the
// band's sigma interval of the likelihood (normal densities of the detected values, Phi((ln limit - mu) / sigma) for
// each entry below a limit) by adaptive Gauss-Kronrod quadrature, the grid shared among threads; every mass is kept
// as a logarithm on one scale. Grid points whose mass is provably below e^-60 of the largest are left out. With
// `grid`, also keeps what the estimates read.
BandRun band_posterior_censored(const BandSettings& settings, const CensoredValues& values,
                                const BandOptions& options = {}, PosteriorGrid* grid = nullptr);

// The count of band integrals of a one-value run, shown in its notes.
constexpr long long band_integrals = static_cast<long long>(grid_points) * bands;

// The relative tolerance asked of the integrator: 1e-5 in single precision.
constexpr double relative_tolerance = 9.999999747378752e-06;

}  // namespace vantor
