// bandreport: runs cardel and then vantor in each folder given, or in one folder per segment of a CSV export,
// writes report.json and report.html beside their result files, and one summary table and one overview page
// (index.html, beside the summary) for the whole batch.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "bandreport/batch.h"
#include "bandreport/batch_jobs.h"
#include "bandreport/child_process.h"
#include "bandreport/command_line.h"
#include "bandreport/folder_name.h"
#include "bandreport/overview_html.h"
#include "bandreport/progress.h"
#include "bandreport/stop_signals.h"
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
  std::fprintf(stderr, "bandreport: %s; usage: %s\n", message.c_str(), bandreport::usage_line);
  return exit_usage;
}

// A batch that cannot start, or whose finished summary cannot be written: one line saying why.
int batch_failure(const std::string& message) {
  std::fprintf(stderr, "bandreport: %s\n", message.c_str());
  return exit_usage;
}

// As batch_failure, for a diagnostic that names its program already ("bandreport: data.csv, line 3: ...").
int batch_refusal(const std::string& diagnostic) {
  std::fprintf(stderr, "%s\n", diagnostic.c_str());
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

// Writes `text` line by line, each line ending in CR LF like every file of the pipeline.
void write_lines(textio::OutputFile& file, const std::string& text) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    textio::write_record(file, std::string_view(text).substr(start, end - start));
    start = end + 1;
  }
}

int default_jobs() {
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? static_cast<int>(cores) : 1;
}

int run(const std::vector<std::string>& args) {
  namespace fs = std::filesystem;
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
  if (options.seed) setup.programs.cardel_args = {"--seed", std::to_string(*options.seed)};
  setup.programs.time_limit = options.time_limit;
  const bool from_data = !options.data.empty();
  if (from_data && !options.summary_given) options.summary = (fs::path(options.out) / "summary.csv").string();

  // The export and the settings are read and checked whole before anything is created.
  bandreport::DataTable table;
  std::vector<bandreport::FolderJob> jobs;
  if (const std::string problem = bandreport::batch_jobs(options, table, jobs); !problem.empty())
    return batch_refusal(problem);
  std::error_code failure;
  const bool made_out = from_data && fs::create_directories(options.out, failure);
  if (failure)
    return batch_failure("cannot make the folder " + options.out + ": " + textio::system_message(failure.value()));

  // The summary and the overview page are opened before anything runs, so that an unwritable place stops the
  // batch with nothing done. The page goes beside the summary (into the current folder for standard output).
  const bool to_stdout = options.summary == "-";
  const std::string page_dir = to_stdout ? "" : fs::path(options.summary).parent_path().string();
  const std::string page_path = (fs::path(page_dir) / "index.html").string();
  auto summary = std::make_unique<textio::OutputFile>();
  auto page = std::make_unique<textio::OutputFile>();
  const auto cannot_start = [&](const std::string& message) {
    summary.reset();  // their temporary files go before the folder made for them
    page.reset();
    if (made_out) fs::remove(options.out, failure);
    return batch_failure(message);
  };
  if (!to_stdout && bandreport::folded_case(fs::path(options.summary).filename().string()) == "index.html")
    return cannot_start("the summary cannot be named index.html: the overview page takes that name beside it");
  if (!to_stdout && !textio::open_output(*summary, options.summary, 0))
    return cannot_start("cannot write " + options.summary + ": " + textio::system_message(summary->error));
  if (!textio::open_output(*page, page_path, 0))
    return cannot_start("cannot write " + page_path + ": " + textio::system_message(page->error));

  if (options.time_limit > 0) bandreport::pass_stop_signals_to_groups();
  const std::vector<bandreport::FolderResults> results = bandreport::run_batch(jobs, setup);

  std::vector<std::string> failed;
  std::vector<std::string> rows = {bandreport::summary_header};
  for (const bandreport::FolderResults& folder : results) {
    if (!folder.ok) failed.push_back(folder.name);
    rows.push_back(bandreport::summary_row(folder));
  }
  const std::string closing =
      bandreport::final_line(results.size(), failed.size()) + "\n" + bandreport::failed_lines(failed);
  std::fputs(closing.c_str(), stderr);
  if (to_stdout) {
    std::string text;
    for (const std::string& row : rows) text += row + "\r\n";
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
      return batch_failure("cannot write the summary to standard output: " + textio::system_message(errno));
  } else {
    for (const std::string& row : rows) textio::write_record(*summary, row);
    if (!textio::commit_output(*summary)) {
      return batch_failure("cannot write " + options.summary + ": " + textio::system_message(summary->error));
    }
  }
  write_lines(*page, bandreport::overview_html(results, page_dir, setup.context));
  if (!textio::commit_output(*page))
    return batch_failure("cannot write " + page_path + ": " + textio::system_message(page->error));
  return failed.empty() ? exit_all_ok : exit_some_failed;
}

}  // namespace

int main(int argc, char** argv) {
  textio::set_program_name("bandreport");
  return run(std::vector<std::string>(argv + 1, argv + argc));
}
