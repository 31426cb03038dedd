// The frame of both programs' main: the command line, the folder to work in, and the end of the run.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace textio {

// An option without a value that a program may take, e.g. "--estimates"; the frame only records whether it was given.
struct Flag {
  std::string_view name;  // as typed, with the leading "--"
  std::string_view
      help;  // --help: what it does, lines ending in '\n' (the first follows the name, the others indented)
};

struct ProgramInfo {
  std::string_view name;             // "cardel", "vantor": prefixes diagnostics; --version prints "<name> <version>"
  std::string_view description;      // --help: what the program reads and writes, lines ending in '\n'
  std::string_view memory_message;   // diagnostic when memory runs out
  bool takes_seed = false;           // accepts --seed N
  bool integrates = true;            // may be stopped by the numerical integration (exit status 3, listed by --help)
  std::span<const Flag> flags = {};  // the program's own flags, shown in this order by the usage and --help
};

struct RunOptions {
  bool seed_given = false;  // --seed N was given
  std::uint64_t seed = 0;   // N
  std::uint64_t flags = 0;  // bit i set: ProgramInfo::flags[i] was given (at most 64 flags)

  bool has_flag(std::size_t index) const { return (flags >> index & 1u) != 0; }
};

// Parses the command line ([--seed N] [FLAG]... [DIR], -h/--help, --version, "--" ending
// the options), enters DIR when given, runs `run` and ends the run: standard
// output flushed (a failure there is reported), a file-size limit failing a
// write instead of killing the run, an allocation failure reported as
// `memory_message`. A bad command line gets one usage line on standard error
// and exit status 2 before anything is read or written.
int run_program(const ProgramInfo& info, int argc, char** argv, int (*run)(const RunOptions& options));

// Flushes standard output and checks that all of it was written (it may go to a
// full device). On a failure reports "cannot write to standard output: <reason>"
// and returns 2 in place of a status of 0; otherwise returns `status`.
int finish_output(int status);

}  // namespace textio
