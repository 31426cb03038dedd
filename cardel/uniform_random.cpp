// Uniform random numbers strictly between 0 and 1, for the constant-table replacement.
#include "cardel/uniform_random.h"

#include <chrono>

namespace cardel {

namespace {
constexpr std::int64_t modulus1 = 2147483563;
constexpr std::int64_t modulus2 = 2147483399;
constexpr std::int64_t multiplier1 = 40014;
constexpr std::int64_t multiplier2 = 40692;
}  // namespace

void seed_uniform(UniformRandom& rng, std::uint64_t seed) {
  rng.state1 = static_cast<std::int64_t>(seed % (modulus1 - 1)) + 1;
  rng.state2 = static_cast<std::int64_t>((seed / (modulus1 - 1)) % (modulus2 - 1)) + 1;
}

std::uint64_t clock_seed() {
  const auto wall = std::chrono::system_clock::now().time_since_epoch();
  const auto fine = std::chrono::steady_clock::now().time_since_epoch();
  const std::uint64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(wall).count();
  const std::uint64_t nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(fine).count();
  return seconds * 1000003u ^ nanos * 0x9E3779B97F4A7C15u;
}

double next_uniform(UniformRandom& rng) {
  // Products stay below 2^47, so 64-bit arithmetic is exact.
  rng.state1 = multiplier1 * rng.state1 % modulus1;
  rng.state2 = multiplier2 * rng.state2 % modulus2;
  std::int64_t z = rng.state1 - rng.state2;
  if (z < 1) z += modulus1 - 1;
  return static_cast<double>(z) * (1.0 / static_cast<double>(modulus1));
}

}  // namespace cardel
