// bandreport: runs cardel and then vantor in each folder given, writes report.json and
// report.html beside their result files, and one summary table for the whole batch.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bandreport/batch.h"
#include "bandreport/child_process.h"
#include "bandreport/command_line.h"
#include "bandreport/progress.h"
#include "bandreport/summary_table.h"
#include "textio/diagnostics.h"
#include "textio/output_file.h"
#include "textio/program_frame.h"

namespace {

constexpr int exit_all_ok = 0;
constexpr int exit_some_failed = 1;
constexpr int exit_usage = 2;

const std::string version_text = "bandreport " BANDREPORT_VERSION;

// A command line that cannot be run: one line, as cardel and vantor give it.
int usage_error(const std::string& message) {
  std::fprintf(stderr, "bandreport: %s; usage: bandreport [--jobs N] [--summary FILE] DIR...\n", message.c_str());
  return exit_usage;
}

// A batch that cannot start, or whose finished summary cannot be written: one line saying why.
int batch_failure(const std::string& message) {
  std::fprintf(stderr, "bandreport: %s\n", message.c_str());
  return exit_usage;
}

// The date shown in the reports: SOURCE_DATE_EPOCH (seconds since 1970) when
// set, so that runs can be compared byte for byte, else now; in UTC either way.
bool report_date(std::string& date) {
  std::time_t when = std::time(nullptr);
  if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH")) {
    char* end = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(fixed, &end, 10);
    if (*fixed == '\0' || *end != '\0' || errno != 0 || seconds < 0) return false;
    when = static_cast<std::time_t>(seconds);
  }
  std::tm utc{};
  char text[64];
  if (!gmtime_r(&when, &utc) || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc) == 0) return false;
  date = text;
  return true;
}

int default_jobs() {
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? static_cast<int>(cores) : 1;
}

int run(const std::vector<std::string>& args) {
  bandreport::Options options;
  const std::string error = bandreport::parse_command_line(args, options);
  if (!error.empty()) return usage_error(error);
  // Text asked for must reach standard output: a failed write is reported, as by cardel and vantor.
  if (options.help) {
    std::fputs(bandreport::usage_text().c_str(), stdout);
    return textio::finish_output(exit_all_ok);
  }
  if (options.version) {
    std::puts(version_text.c_str());
    return textio::finish_output(exit_all_ok);
  }

  bandreport::BatchSetup setup;
  setup.programs.cardel = bandreport::find_program("cardel");
  setup.programs.vantor = bandreport::find_program("vantor");
  for (const auto& [name, path] : {std::pair{"cardel", setup.programs.cardel}, {"vantor", setup.programs.vantor}})
    if (path.empty())
      return batch_failure(std::string("cannot find the program ") + name +
                           " (looked beside bandreport, in the sibling build folder and on PATH)");
  setup.context.version = version_text;
  if (!report_date(setup.context.date)) return batch_failure("SOURCE_DATE_EPOCH must be a whole number of seconds");
  setup.jobs = options.jobs > 0 ? options.jobs : default_jobs();
  setup.show_progress = ::isatty(STDERR_FILENO) == 1;

  // The summary file is opened before anything runs, so that an unwritable
  // place stops the batch with nothing done.
  const bool to_stdout = options.summary == "-";
  textio::OutputFile summary;
  if (!to_stdout && !textio::open_output(summary, options.summary, 0))
    return batch_failure("cannot write " + options.summary + ": " + textio::system_message(summary.error));

  const std::vector<bandreport::FolderResults> results = bandreport::run_batch(options.folders, setup);

  std::size_t failed = 0;
  std::vector<std::string> rows = {bandreport::summary_header};
  for (const bandreport::FolderResults& folder : results) {
    failed += folder.ok ? 0 : 1;
    rows.push_back(bandreport::summary_row(folder));
  }
  std::fprintf(stderr, "%s\n", bandreport::final_line(results.size(), failed).c_str());
  if (to_stdout) {
    std::string table;
    for (const std::string& row : rows) table += row + "\r\n";
    if (std::fwrite(table.data(), 1, table.size(), stdout) != table.size() || std::fflush(stdout) != 0)
      return batch_failure("cannot write the summary to standard output: " + textio::system_message(errno));
  } else {
    for (const std::string& row : rows) textio::write_record(summary, row);
    if (!textio::commit_output(summary)) {
      return batch_failure("cannot write " + options.summary + ": " + textio::system_message(summary.error));
    }
  }
  return failed == 0 ? exit_all_ok : exit_some_failed;
}

}  // namespace

int main(int argc, char** argv) {
  textio::set_program_name("bandreport");
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
