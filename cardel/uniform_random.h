// Uniform random numbers strictly between 0 and 1, for the constant-table replacement.
//
// A combined multiplicative congruential generator: two streams with moduli
// 2147483563 and 2147483399 and multipliers 40014 and 40692; the difference of
// the two states, brought into 1 ... 2147483562, times 1/2147483563.
#pragma once

#include <cstdint>

namespace cardel {

struct UniformRandom {
  std::int64_t state1 = 1;  // in 1 ... 2147483562
  std::int64_t state2 = 1;  // in 1 ... 2147483398
};

// Seeds both streams from `seed`, each state landing in its valid range.
void seed_uniform(UniformRandom& rng, std::uint64_t seed);

// A seed from the wall clock and a high-resolution timer, so runs differ.
std::uint64_t clock_seed();

// The next number, in the open interval (0, 1).
double next_uniform(UniformRandom& rng);

}  // namespace cardel
