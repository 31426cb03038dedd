// The batch's progress line on standard error.
#include "bandreport/progress.h"

#include <cmath>
#include <cstdio>

namespace bandreport {

std::string progress_line(std::size_t done, std::size_t total, std::size_t failed, double elapsed_seconds) {
  char line[160];
  int length = std::snprintf(line, sizeof line, "%zu/%zu folders, %zu failed, %.1f s elapsed", done, total, failed,
                             elapsed_seconds);
  if (done > 0 && done < total) {
    // The remaining folders are assumed to take as long as the finished ones did on average.
    const double left = elapsed_seconds / static_cast<double>(done) * static_cast<double>(total - done);
    std::snprintf(line + length, sizeof line - length, ", about %.0f s left", std::ceil(left));
  }
  return line;
}

std::string final_line(std::size_t total, std::size_t failed) {
  return std::to_string(total) + " folders, " + std::to_string(total - failed) + " ok, " + std::to_string(failed) +
         " failed";
}

}  // namespace bandreport
