// The frame of both programs' main: the command line, the folder to work in, and the end of the run.
#include "textio/program_frame.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <unistd.h>

#include "textio/diagnostics.h"

namespace textio {

namespace {

std::string synopsis(const ProgramInfo& info) {
  std::string line = std::string(info.name);
  if (info.takes_seed) line += " [--seed N]";
  for (const Flag& flag : info.flags) line += " [" + std::string(flag.name) + "]";
  return line + " [DIR]";
}

int usage_error(const ProgramInfo& info, const std::string& what) {
  report(what + "; usage: " + synopsis(info));
  return exit_io_failure;
}

void print_help(const ProgramInfo& info) {
  std::string text = "usage: " + synopsis(info) + "\n\n";
  text += info.description;
  text += "\nOptions:\n";
  text += "  DIR          the folder that holds the input files and receives the results\n";
  text += "               (default: the current folder)\n";
  if (info.takes_seed) {
    text += "  --seed N     seed of the random replacement of a table whose measurements are all\n";
    text += "               equal, a whole number from 0 to 18446744073709551615; the same seed\n";
    text += "               repeats a run exactly (default: taken from the clock)\n";
  }
  for (const Flag& flag : info.flags) {
    // The name, then the help from column 16 (its own line when the name is longer), each further line indented alike.
    std::string name = "  " + std::string(flag.name);
    name += name.size() < 15 ? std::string(15 - name.size(), ' ') : "\n" + std::string(15, ' ');
    std::string_view help = flag.help;
    for (bool first = true; !help.empty(); first = false) {
      const std::size_t end = help.find('\n');
      const std::string_view line = help.substr(0, end);
      text += (first ? name : std::string(15, ' ')) + std::string(line) + "\n";
      help = end == std::string_view::npos ? std::string_view{} : help.substr(end + 1);
    }
  }
  text += "  -h, --help   show this help and exit\n";
  text += "  --version    show the version and exit\n";
  text += "\nExit status:\n";
  text += "  0  normal run\n";
  text += "  2  input or output failure, rejected input, or a bad command line\n";
  if (info.integrates) text += "  3  the numerical integration stopped the run\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
}

// Parses a --seed value: a non-negative decimal integer that fits 64 bits.
bool parse_seed(std::string_view text, std::uint64_t& seed) {
  if (text.empty() || text.front() < '0' || text.front() > '9') return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), seed);
  return ec == std::errc() && ptr == text.data() + text.size();
}

// The index of the program's flag named `arg`, or -1.
int flag_index(const ProgramInfo& info, std::string_view arg) {
  for (std::size_t i = 0; i < info.flags.size() && i < 64; ++i)
    if (info.flags[i].name == arg) return static_cast<int>(i);
  return -1;
}

int run_guarded(std::string_view memory_message, int (*run)(const RunOptions&), const RunOptions& options) {
  std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit fails the write, which is reported, instead of killing the run
  try {
    return finish_output(run(options));
  } catch (const std::bad_alloc&) {
    report(memory_message);
    return exit_io_failure;
  }
}

}  // namespace

// Standard output must reach its destination (it may be a full device).
int finish_output(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && !std::ferror(stdout)) return status;
  report("cannot write to standard output: " + system_message(!flushed && errno ? errno : EIO));
  return status == exit_ok ? exit_io_failure : status;
}

int run_program(const ProgramInfo& info, int argc, char** argv, int (*run)(const RunOptions& options)) {
  set_program_name(info.name);
  RunOptions options;
  const char* dir = nullptr;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!options_ended && arg.size() > 1 && arg.front() == '-') {
      if (arg == "--") {
        options_ended = true;
      } else if (arg == "-h" || arg == "--help") {
        print_help(info);
        return finish_output(exit_ok);
      } else if (arg == "--version") {
        std::printf("%.*s %s\n", static_cast<int>(info.name.size()), info.name.data(), PIPELINE_VERSION);
        return finish_output(exit_ok);
      } else if (info.takes_seed && (arg == "--seed" || arg.starts_with("--seed="))) {
        std::string_view value;
        if (arg == "--seed") {
          if (i + 1 == argc) return usage_error(info, "--seed needs a value");
          value = argv[++i];
        } else {
          value = arg.substr(7);
        }
        if (!parse_seed(value, options.seed))
          return usage_error(
              info, "bad --seed value '" + std::string(value) + "' (a whole number from 0 to 18446744073709551615)");
        options.seed_given = true;
      } else if (const int flag = flag_index(info, arg); flag >= 0) {
        options.flags |= std::uint64_t{1} << flag;
      } else {
        return usage_error(info, "unknown option '" + std::string(arg) + "'");
      }
    } else if (dir) {
      return usage_error(info, "unexpected second folder '" + std::string(arg) + "'");
    } else {
      dir = argv[i];
    }
  }
  // Entering DIR makes every file name, and every diagnostic, what it is in a run started there.
  if (dir && ::chdir(dir) != 0) {
    const int reason = errno;
    return usage_error(info, "cannot use folder '" + std::string(dir) + "': " + system_message(reason));
  }
  return run_guarded(info.memory_message, run, options);
}

}  // namespace textio
