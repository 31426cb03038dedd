// Work shared among threads: the grid computations start their threads through this one place.
#pragma once

#include <functional>

#include "vantor/band_posterior.h"

namespace vantor {

// The threads a computation may use: options.threads when set, else one per processor (at most 16).
int thread_count(const BandOptions& options);

// Runs `own` on the calling thread and `other` on up to threads - 1 more, and waits for all of them; each takes work
// until none is left, so a thread that cannot be started simply leaves its share to the ones running.
void run_on_threads(int threads, const std::function<void()>& own, const std::function<void()>& other);

}  // namespace vantor
