// The command line of bandreport: options and folders.
#pragma once

#include <string>
#include <vector>

namespace bandreport {

// Folders at once beyond which nothing is gained and the system's process limits come near.
constexpr int max_jobs = 256;

struct Options {
  int jobs = 0;                         // folders at once; 0 means one per core
  std::string summary = "summary.csv";  // "-" for standard output
  std::vector<std::string> folders;
  bool help = false;
  bool version = false;
};

// Reads the arguments after the program name into `options`. Returns an empty
// string, or the usage error to report.
std::string parse_command_line(const std::vector<std::string>& args, Options& options);

// The text of --help.
std::string usage_text();

}  // namespace bandreport
