// Time per call of cdf_gamma at the driver's shapes and of cdf_normal, over a spread of points, and of the
// log-scale functions.
#include <benchmark/benchmark.h>

#include <cmath>
#include <utility>
#include <vector>

#include "distributions/cdf.h"
#include "distributions/log_scale.h"

namespace {

// Points from far below to far above the mean a, so that every method the shape reaches is timed.
std::vector<double> points_around(double a) {
  std::vector<double> xs;
  for (double f : {0.01, 0.1, 0.3, 0.6, 0.8, 0.95, 1.0, 1.05, 1.2, 1.5, 2.0, 3.0, 6.0}) {
    xs.push_back(a * f + 0.05);
  }
  return xs;
}

// Shape a = (n - 1)/2 for a sample of n values.
void BM_cdf_gamma(benchmark::State& state) {
  const double a = (static_cast<double>(state.range(0)) - 1.0) / 2.0;
  const std::vector<double> xs = points_around(a);
  std::size_t i = 0;
  for (auto _ : state) {
    double cum, ccum;
    distributions::cdf_gamma(xs[i], a, cum, ccum);
    benchmark::DoNotOptimize(cum);
    benchmark::DoNotOptimize(ccum);
    if (++i == xs.size()) i = 0;
  }
}
BENCHMARK(BM_cdf_gamma)->Arg(2)->Arg(6)->Arg(30)->Arg(300);

void BM_cdf_normal(benchmark::State& state) {
  std::vector<double> xs;
  for (int k = -40; k <= 40; ++k) xs.push_back(k * 0.2);  // all three ranges, both signs
  std::size_t i = 0;
  for (auto _ : state) {
    double result, ccum;
    distributions::cdf_normal(xs[i], result, ccum);
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(ccum);
    if (++i == xs.size()) i = 0;
  }
}
BENCHMARK(BM_cdf_normal);

// Intervals around the mode a of t^a e^-t: both tails, across the mode, narrow ones at and off it, and wide
// ones reaching 1e-300 or infinity, so that every method log_gamma_integral chooses for the shape is timed.
std::vector<std::pair<double, double>> intervals_around(double a) {
  const double m = a < 1.0 ? 1.0 : a;
  const double s = std::sqrt(m);
  return {{0.0, 0.3 * m},
          {0.3 * m, 0.9 * m},
          {m - 3 * s, m - s},
          {m - s, m + s},
          {m - 0.1 * s, m + 0.2 * s},
          {m, m * (1 + 1e-9)},
          {m + s, m + 4 * s},
          {1.5 * m, 3 * m},
          {3 * m, INFINITY},
          {1e-300, 1e300},
          {m + 2 * s, (m + 2 * s) * (1 + 1e-3)},
          {1e-300, m - 2 * s}};
}

// Shape a = (n - 1)/2 for a sample of n values; n = 1 gives a = 0.
void BM_log_gamma_integral(benchmark::State& state) {
  const double a = (static_cast<double>(state.range(0)) - 1.0) / 2.0;
  std::vector<std::pair<double, double>> spans = intervals_around(a);
  if (a == 0.0) spans[0].first = 1e-300;  // the integral from 0 diverges at a = 0
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(distributions::log_gamma_integral(a, spans[i].first, spans[i].second));
    if (++i == spans.size()) i = 0;
  }
}
BENCHMARK(BM_log_gamma_integral)->Arg(1)->Arg(2)->Arg(6)->Arg(30)->Arg(100)->Arg(102)->Arg(300)->Arg(1000000);

void BM_log_gamma_fn(benchmark::State& state) {
  const std::vector<double> xs = {1e-10, 0.3, 1.2, 2.1, 4.7, 9.5, 12.0, 150.5, 1e5};
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(distributions::log_gamma_fn(xs[i]));
    if (++i == xs.size()) i = 0;
  }
}
BENCHMARK(BM_log_gamma_fn);

void BM_log_normal_cdf(benchmark::State& state) {
  std::vector<double> xs;
  for (int k = -40; k <= 40; ++k) xs.push_back(k * 0.5);  // every range, both signs
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(distributions::log_normal_cdf(xs[i]));
    if (++i == xs.size()) i = 0;
  }
}
BENCHMARK(BM_log_normal_cdf);

// Plotting positions (r - 0.5)/n of order statistics for n = 1000, and a few far tails.
void BM_normal_quantile(benchmark::State& state) {
  std::vector<double> ps;
  for (int r = 1; r <= 1000; r += 37) ps.push_back((r - 0.5) / 1000.0);
  for (double p : {1e-300, 1e-50, 1e-10}) ps.push_back(p);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(distributions::normal_quantile(ps[i]));
    if (++i == ps.size()) i = 0;
  }
}
BENCHMARK(BM_normal_quantile);

}  // namespace
