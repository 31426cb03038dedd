// Runs a piece of test code in a separate process and captures its console output, error lines and exit status.
#pragma once

#include <functional>
#include <string>

struct ChildRun {
  int exit_status;     // exit status, or -1 when the process did not exit normally
  std::string output;  // everything written to standard output
  std::string errors;  // everything written to standard error
};

// Forks, runs BODY with standard output and standard error sent to pipes, and ends the child with
// status 0 when BODY returns. Library state changed by BODY stays in the child.
ChildRun run_in_child(const std::function<void()>& body);
