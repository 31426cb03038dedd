// The batch's progress line on standard error.
#pragma once

#include <string>
#include <vector>

namespace bandreport {

// "12/40 folders, 1 failed, 3.1 s elapsed, about 7 s left", for a line updated in place.
std::string progress_line(std::size_t done, std::size_t total, std::size_t failed, double elapsed_seconds);

// "40 folders, 39 ok, 1 failed".
std::string final_line(std::size_t total, std::size_t failed);

// Most failed folders listed after the final line.
constexpr std::size_t failed_names_shown = 20;

// The lines after the final line, each ending in a line end: "  NAME failed" for the
// first failed_names_shown of `names`, then "  and N more failed". Control characters
// in a name show as '?', so that each stays on its line.
std::string failed_lines(const std::vector<std::string>& names);

}  // namespace bandreport
