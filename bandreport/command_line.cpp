// The command line of bandreport: options and folders.
#include "bandreport/command_line.h"

#include <charconv>

namespace bandreport {

std::string parse_command_line(const std::vector<std::string>& args, Options& options) {
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg == "-" || arg.empty() || arg[0] != '-') {
      options.folders.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "-h" || arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--jobs" || arg.rfind("--jobs=", 0) == 0 || arg == "--summary" ||
               arg.rfind("--summary=", 0) == 0) {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(0, equals);
      std::string value;
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return "option " + name + " needs a value";
      }
      if (name == "--summary") {
        if (value.empty()) return "option --summary needs a file name";
        options.summary = value;
      } else {
        int jobs = 0;
        const auto [end, failed] = std::from_chars(value.data(), value.data() + value.size(), jobs);
        if (failed != std::errc() || end != value.data() + value.size() || jobs < 1 || jobs > max_jobs)
          return "option --jobs needs a whole number from 1 to " + std::to_string(max_jobs) + ", not '" + value + "'";
        options.jobs = jobs;
      }
    } else {
      return "unknown option '" + arg + "'";
    }
  }
  if (!options.help && !options.version && options.folders.empty()) return "no folder given";
  return "";
}

std::string usage_text() {
  return "Usage: bandreport [--jobs N] [--summary FILE] DIR...\n"
         "Runs cardel and then vantor in each folder DIR, as if started there, and writes\n"
         "report.html and report.json beside their result files, then one summary table.\n"
         "\n"
         "  --jobs N        folders whose programs run at once (default: the number of cores)\n"
         "  --summary FILE  where the summary table goes (default: summary.csv; - for\n"
         "                  standard output)\n"
         "  -h, --help      show this text and end\n"
         "  --version       show the version and end\n"
         "\n"
         "Exit status: 0 every folder ok, 1 at least one folder failed (the others are\n"
         "done), 2 usage error or summary not written.\n";
}

}  // namespace bandreport
