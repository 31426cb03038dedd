// The batch's progress line on standard error.
#pragma once

#include <string>

namespace bandreport {

// "12/40 folders, 1 failed, 3.1 s elapsed, about 7 s left", for a line updated in place.
std::string progress_line(std::size_t done, std::size_t total, std::size_t failed, double elapsed_seconds);

// "40 folders, 39 ok, 1 failed".
std::string final_line(std::size_t total, std::size_t failed);

}  // namespace bandreport
