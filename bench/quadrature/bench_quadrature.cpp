// Throughput of DQDAGS on exp(-t)/t over bands of t like those of the one-value band posterior.
#include <benchmark/benchmark.h>

#include <cmath>

#include "quadrature/dqdags.h"

using namespace quadrature;

namespace {

long evaluations = 0;  // integrand calls, for evaluations per integration

double exp_over_t(const double& t) {
  ++evaluations;
  return std::exp(-(t * 1.0)) * (1.0 / t);
}

// The same integrand as an object carrying its own count, the integrand form that holds data.
struct CountingExpOverT {
  long* count;
  double operator()(const double& t) const {
    ++*count;
    return std::exp(-(t * 1.0)) * (1.0 / t);
  }
};

// One integration per iteration over [lo, hi] given in thousandths, through a plain function.
void BM_DqdagsExpOverT(benchmark::State& state) {
  const double a = static_cast<double>(state.range(0)) / 1000.0;
  const double b = static_cast<double>(state.range(1)) / 1000.0;
  Context ctx;
  double result = 0.0, esterr = 0.0;
  evaluations = 0;
  for (auto _ : state) {
    if (DQDAGS(ctx, exp_over_t, a, b, 0.0, 9.999999747378752e-06, result, esterr) == Flow::stopped)
      state.SkipWithError("the integrator stopped");
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["evals_per_integration"] = static_cast<double>(evaluations) / static_cast<double>(state.iterations());
}

// As above through a callable object.
void BM_DqdagsExpOverTObject(benchmark::State& state) {
  const double a = static_cast<double>(state.range(0)) / 1000.0;
  const double b = static_cast<double>(state.range(1)) / 1000.0;
  Context ctx;
  double result = 0.0, esterr = 0.0;
  long count = 0;
  const CountingExpOverT integrand{&count};
  for (auto _ : state) {
    if (DQDAGS(ctx, integrand, a, b, 0.0, 9.999999747378752e-06, result, esterr) == Flow::stopped)
      state.SkipWithError("the integrator stopped");
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["evals_per_integration"] = static_cast<double>(count) / static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK(BM_DqdagsExpOverT)->Args({50, 500})->Args({500, 20000})->Args({20000, 2000000})->Args({1, 40000});
BENCHMARK(BM_DqdagsExpOverTObject)->Args({50, 500})->Args({500, 20000})->Args({20000, 2000000})->Args({1, 40000});
