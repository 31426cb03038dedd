// Running a program as a child process in a given folder and collecting what it printed.
#pragma once

#include <string>
#include <vector>

namespace bandreport {

struct ChildOutcome {
  int start_error = 0;     // errno when the child could not be started (folder or program unusable), else 0
  int exit_status = -1;    // exit code of a child that ended normally, else -1
  int signal = 0;          // the signal that ended the child, else 0
  std::string out;         // standard output (the first part of it, when it is very long)
  std::string err;         // standard error (likewise)
  bool timed_out = false;  // stopped for running past its time limit
};

// Starts `program` with `args`, its working folder set to `dir`, standard input
// from /dev/null, and waits for it to end. With a time limit (seconds, 0 for none)
// the program runs in a process group of its own, which is killed when the time is
// up. Safe to call from several threads at once.
ChildOutcome run_in_folder(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                           double time_limit);

// The path of the program `name`: beside this executable, in the sibling build
// folder ../<name>/, or on PATH. Empty when it is in none of them.
std::string find_program(const std::string& name);

}  // namespace bandreport
