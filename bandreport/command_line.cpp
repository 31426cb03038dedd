// The command line of bandreport: options and folders.
#include "bandreport/command_line.h"

#include <charconv>
#include <cmath>

namespace bandreport {

namespace {

const char* const value_options[] = {"--jobs",     "--summary", "--data", "--out",
                                     "--settings", "--units",   "--seed", "--timeout"};

bool takes_value(const std::string& name) {
  for (const char* option : value_options)
    if (name == option) return true;
  return false;
}

bool has_control_character(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

// Sets the option `name` to `value`; the usage error, or an empty string.
std::string set_option(const std::string& name, const std::string& value, Options& options) {
  const char* const end = value.data() + value.size();
  if (name == "--jobs") {
    int jobs = 0;
    const auto [stop, failed] = std::from_chars(value.data(), end, jobs);
    if (failed != std::errc() || stop != end || jobs < 1 || jobs > max_jobs)
      return "option --jobs needs a whole number from 1 to " + std::to_string(max_jobs) + ", not '" + value + "'";
    options.jobs = jobs;
  } else if (name == "--seed") {
    std::uint64_t seed = 0;
    const auto [stop, failed] = std::from_chars(value.data(), end, seed);
    if (failed != std::errc() || stop != end)
      return "option --seed needs a whole number from 0 to 18446744073709551615, not '" + value + "'";
    options.seed = seed;
  } else if (name == "--timeout") {
    double seconds = 0;
    const auto [stop, failed] = std::from_chars(value.data(), end, seconds);
    if (failed != std::errc() || stop != end || !(seconds > 0) || !(seconds <= max_time_limit))
      return "option --timeout needs a number of seconds above 0 and at most 1000000, not '" + value + "'";
    options.time_limit = seconds;
  } else if (name == "--units") {
    if (has_control_character(value)) return "option --units needs text on one line";
    options.units = value;
  } else {
    if (value.empty()) return "option " + name + (name == "--out" ? " needs a folder name" : " needs a file name");
    if (name == "--summary") {
      options.summary = value;
      options.summary_given = true;
    } else {
      (name == "--data" ? options.data : name == "--out" ? options.out : options.settings) = value;
    }
  }
  return "";
}

// Options that only go together, checked once all are read.
std::string check_combination(const Options& options) {
  if (options.data.empty()) {
    if (!options.out.empty()) return "option --out goes with --data";
    if (options.folders.empty()) return "no folder given";
    return "";
  }
  if (options.out.empty()) return "option --data needs --out DIR, the folder to make the segments' folders in";
  if (!options.folders.empty()) return "--data takes no DIR operands: its folders are made in --out DIR";
  if (options.recursive) return "--recursive searches DIR operands, which --data does not take";
  if (options.settings.empty())
    return "--data needs --settings FILE, the in_bayes.txt that vantor reads in every folder (a limit column "
           "replaces its limit)";
  return "";
}

}  // namespace

const char* const usage_line =
    "bandreport [OPTION]... DIR... | bandreport [OPTION]... --data FILE --out DIR --settings FILE";

std::string parse_command_line(const std::vector<std::string>& args, Options& options) {
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
      options.folders.push_back(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "-r" || arg == "--recursive") {
      options.recursive = true;
    } else if (name.starts_with("--") && takes_value(name)) {
      std::string value;
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return "option " + name + " needs a value";
      }
      if (std::string error = set_option(name, value, options); !error.empty()) return error;
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  if (options.help || options.version) return "";
  return check_combination(options);
}

std::string usage_text() {
  return "Usage: bandreport [OPTION]... DIR...\n"
         "       bandreport [OPTION]... --data FILE --out DIR --settings FILE\n"
         "Runs cardel and then vantor in each folder DIR, as if started there, and writes\n"
         "report.html and report.json beside their result files, then one summary table.\n"
         "With --data, first makes one folder in DIR per segment of a CSV export.\n"
         "\n"
         "  --jobs N         folders whose programs run at once (default: the number of cores)\n"
         "  --summary FILE   where the summary table goes (default: summary.csv, with --data\n"
         "                   DIR/summary.csv; - for standard output)\n"
         "  -r, --recursive  run every folder holding y.txt at or below each DIR, sorted by\n"
         "                   path (symbolic links are not followed)\n"
         "  --settings FILE  in_bayes.txt for each folder without one (copied into it); with\n"
         "                   --data, for every folder, a limit column replacing its limit\n"
         "  --units TEXT     units of the measurements, kept in units.txt where a folder (with\n"
         "                   --data: a segment) has none\n"
         "  --seed N         passed to cardel as --seed N\n"
         "  --timeout S      stop a program that runs longer than S seconds in a folder (that\n"
         "                   folder fails; the others go on)\n"
         "  --data FILE      CSV export with the columns segment and value (and optionally group,\n"
         "                   limit, units); one folder per segment, in --out DIR\n"
         "  --out DIR        where --data makes its folders (created when missing)\n"
         "  -h, --help       show this text and end\n"
         "  --version        show the version and end\n"
         "\n"
         "Exit status: 0 every folder ok, 1 at least one folder failed (the others are\n"
         "done), 2 usage error, unusable export or settings, or summary not written.\n";
}

}  // namespace bandreport
