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
  double log_scale = 0.0;       // ln f at the peak: the profile's integrals are in units of e^log_scale
  Breakpoints band_sigma{};     // sigma(1..6), band k between sigma(k) and sigma(k+1)
  BandMasses log_masses{};      // ln of the band masses on the grid's common scale
  std::size_t first_panel = 0;  // this point's panels in PosteriorGrid::panels, the last one closing the range
  std::size_t panel_count = 0;
};

struct PosteriorGrid {
  double sigma_bounds[2] = {};
  std::vector<PosteriorPoint> points;  // in grid order
  std::vector<ProfilePanel> panels;
};

}  // namespace vantor
