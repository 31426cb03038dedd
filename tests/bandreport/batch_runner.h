// Helpers of the bandreport tests: folders of input files, a batch run with arguments or with stand-in programs,
// the summary table read back.
#pragma once

#include <string>
#include <vector>

#include "tests/support/program_runner.h"

namespace bandreport_test {

// Runs `program` (the built bandreport by default) with `args`, each passed as one
// argument, in `dir`, with the report date fixed.
test_support::RunResult run_bandreport(const std::string& dir, const std::vector<std::string>& args,
                                       const std::string& program = BANDREPORT_BIN);

// Creates `dir` and writes y.txt and in_bayes.txt into it; an empty text leaves that file out.
void make_folder(const std::string& dir, const std::string& table, const std::string& settings);

// Puts a copy of bandreport with the stand-in programs `cardel` and `vantor` (shell
// scripts) beside it into `bin`; returns the path of the copy.
std::string install_stand_ins(const std::string& bin, const std::string& cardel, const std::string& vantor);

// A folder for the stand-ins: y.txt holding `mode` (what they are to do), the settings, and
// the result files they copy into place when they succeed (*.prepared).
void make_stand_in_folder(const std::string& dir, const std::string& mode);

// The rows of a CSV text with CR LF line ends, each split into its fields (quotes removed).
std::vector<std::vector<std::string>> parse_csv(const std::string& text);

// The lines of a result file, trimmed of blanks and line ends.
std::vector<std::string> trimmed_lines(const std::string& path);

// The three fields of an out_bayes.txt line (weight, flat, weighted), trimmed.
std::vector<std::string> band_fields(const std::string& line);

}  // namespace bandreport_test
