// Work shared among threads for the grid computations.
#include "vantor/internal/parallel.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace vantor {

namespace {

constexpr unsigned max_threads = 16;

}  // namespace

int thread_count(const BandOptions& options) {
  if (options.threads > 0) return options.threads;
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, max_threads));
}

void run_on_threads(int threads, const std::function<void()>& own, const std::function<void()>& other) {
  std::vector<std::thread> started;
  started.reserve(threads > 1 ? threads - 1 : 0);
  for (int w = 1; w < threads; ++w) {
    try {
      started.emplace_back(other);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones running share the work
    }
  }
  own();
  for (std::thread& thread : started) thread.join();
}

}  // namespace vantor
