// The command line of bandreport: options and folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bandreport {

// Folders at once beyond which nothing is gained and the system's process limits come near.
constexpr int max_jobs = 256;

// Longest time limit taken, in seconds (about eleven days): beyond any run, and within the clock's range.
constexpr double max_time_limit = 1e6;

struct Options {
  int jobs = 0;                         // folders at once; 0 means one per core
  std::string summary = "summary.csv";  // "-" for standard output
  bool summary_given = false;
  std::vector<std::string> folders;   // the DIR operands
  bool recursive = false;             // run every folder holding y.txt below each DIR
  std::string data;                   // --data: a CSV export to make the folders from
  std::string out;                    // --out: where the folders of --data go
  std::string settings;               // --settings: in_bayes.txt for folders without one
  std::string units;                  // --units: the units of the measurements
  std::optional<std::uint64_t> seed;  // --seed, passed to cardel
  double time_limit = 0;              // --timeout in seconds; 0 for none
  bool help = false;
  bool version = false;
};

// Reads the arguments after the program name into `options`. Returns an empty
// string, or the usage error to report.
std::string parse_command_line(const std::vector<std::string>& args, Options& options);

// The usage line shown with a usage error, after "usage: ".
extern const char* const usage_line;

// The text of --help.
std::string usage_text();

}  // namespace bandreport
