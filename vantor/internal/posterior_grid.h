// The posterior over the grid as the estimates read it: each grid point of non-negligible mass with its band
// breakpoints, band masses and cumulative profile in sigma.
#pragma once

#include <cstddef>
#include <vector>

#include "vantor/band_grid.h"
#include "vantor/internal/sigma_profile.h"

namespace vantor {

struct PosteriorPoint {
  double mu = 0.0;
  double log_scale = 0.0;            // ln f at the peak: the profile's integrals are in units of e^log_scale
  Breakpoints band_sigma{};          // sigma(1..6), band k between sigma(k) and sigma(k+1)
  BandMasses log_masses{};           // ln of the band masses on the grid's common scale
  std::vector<ProfilePanel> panels;  // ascending in sigma; none for a point too light to move an estimate
  std::vector<double> coefficients;  // the panels' Legendre coefficients
  double profile_total = 0.0;        // the profile's integral over the whole range
};

struct PosteriorGrid {
  double sigma_bounds[2] = {};
  std::vector<PosteriorPoint> points;  // in grid order
};

}  // namespace vantor
