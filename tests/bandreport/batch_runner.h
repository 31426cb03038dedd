// Helpers of the bandreport tests: folders of input files, a batch run with arguments, the summary table read back.
#pragma once

#include <string>
#include <vector>

namespace bandreport_test {

struct BatchResult {
  int exit_status = -1;
  std::string out;
  std::string err;
};

// Runs `program` (the built bandreport by default) with `args`, each passed as one
// argument, in `dir`, with the report date fixed.
BatchResult run_bandreport(const std::string& dir, const std::vector<std::string>& args,
                           const std::string& program = BANDREPORT_BIN);

// Creates `dir` and writes y.txt and in_bayes.txt into it; an empty text leaves that file out.
void make_folder(const std::string& dir, const std::string& table, const std::string& settings);

// The rows of a CSV text with CR LF line ends, each split into its fields (quotes removed).
std::vector<std::vector<std::string>> parse_csv(const std::string& text);

// The lines of a result file, trimmed of blanks and line ends.
std::vector<std::string> trimmed_lines(const std::string& path);

}  // namespace bandreport_test
