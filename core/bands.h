// The five bands of R = (95th percentile of the lognormal model) / limit: their bounds and their names.
#pragma once

namespace core {

constexpr int band_count = 5;

// The standard normal 95 % quantile: the 95th percentile is exp(mu + z95 sigma).
constexpr double z95 = 1.6448536269515;

// The four interior band bounds as the computation uses them: 0.01, 0.1, 0.5 and 1, each the nearest
// single-precision number (so 0.01 is 0.009999999776482582).
constexpr double band_fractions[band_count - 1] = {0.009999999776482582, 0.10000000149011612, 0.5, 1.0};

// The bounds of each band as fractions of the limit, as reports show them; band 5 has no upper bound.
constexpr double band_lower[band_count] = {0.0, 0.01, 0.1, 0.5, 1.0};
constexpr double band_upper[band_count - 1] = {0.01, 0.1, 0.5, 1.0};

// Each band's range as a share of the limit.
constexpr const char* band_labels[band_count] = {"below 1 %", "1–10 %", "10–50 %", "50–100 %", "above 100 %"};

}  // namespace core
