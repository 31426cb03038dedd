// The batch's progress line on standard error.
#include "bandreport/progress.h"

#include <cmath>

#include "bandreport/decimal_text.h"
#include "bandreport/text_escape.h"

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

std::string failed_lines(const std::vector<std::string>& names) {
  std::string lines;
  for (std::size_t i = 0; i < names.size() && i < failed_names_shown; ++i) {
    std::string shown = valid_utf8(names[i]);
    for (char& c : shown)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    // Each line ends in " failed", like the final line, which tells them from diagnostics.
    lines += "  " + shown + " failed\n";
  }
  if (names.size() > failed_names_shown)
    lines += "  and " + std::to_string(names.size() - failed_names_shown) + " more failed\n";
  return lines;
}

}  // namespace bandreport
