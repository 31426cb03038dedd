// The batch's progress line on standard error.
#include "bandreport/progress.h"

#include <cmath>

#include "bandreport/decimal_text.h"

namespace bandreport {

std::string progress_line(std::size_t done, std::size_t total, std::size_t failed, double elapsed_seconds) {
  std::string line = std::to_string(done) + "/" + std::to_string(total) + " folders, " + std::to_string(failed) +
                     " failed, " + fixed_decimals(elapsed_seconds, 1) + " s elapsed";
  if (done > 0 && done < total) {
    // The remaining folders are assumed to take as long as the finished ones did on average.
    const double left = elapsed_seconds / static_cast<double>(done) * static_cast<double>(total - done);
    line += ", about " + fixed_decimals(std::ceil(left), 0) + " s left";
  }
  return line;
}

std::string final_line(std::size_t total, std::size_t failed) {
  return std::to_string(total) + " folders, " + std::to_string(total - failed) + " ok, " + std::to_string(failed) +
         " failed";
}

}  // namespace bandreport
