// Time per call of cdf_gamma at the driver's shapes and of cdf_normal, over a spread of points.
#include <benchmark/benchmark.h>

#include <vector>

#include "distributions/cdf.h"

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

}  // namespace
