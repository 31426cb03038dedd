// One folder's whole pipeline: its inputs, cardel, then vantor, then report.json and report.html.
#include "bandreport/folder_pipeline.h"

#include <cstring>
#include <string.h>
#include <sys/stat.h>

#include "bandreport/child_process.h"
#include "bandreport/decimal_text.h"
#include "bandreport/folder_inputs.h"
#include "bandreport/report_html.h"
#include "bandreport/report_json.h"
#include "bandreport/text_escape.h"
#include "core/files.h"
#include "textio/diagnostics.h"
#include "textio/output_file.h"

namespace bandreport {

namespace {

std::string reason(int error) { return textio::system_message(error); }

// The first line of `text` that is not blank, trimmed; empty when there is none.
std::string first_line(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = trim(text.substr(start, end - start));
    if (!line.empty()) return std::string(line);
    start = end + 1;
  }
  return "";
}

// The first line of the last block of `text`, blocks being separated by blank
// lines: the message a program printed last, i.e. the one it stopped on.
std::string last_block_first_line(const std::string& text) {
  const std::string_view all = trim(text);
  std::size_t block = 0;
  for (std::size_t at = all.find('\n'); at != std::string_view::npos; at = all.find('\n', at + 1)) {
    const std::size_t next = all.find('\n', at + 1);
    if (trim(all.substr(at + 1, next == std::string_view::npos ? all.npos : next - at - 1)).empty()) block = at + 1;
  }
  return first_line(all.substr(block));
}

// The diagnostic of a run that did not succeed: the first line the program
// wrote on standard error, or failing that what ended it.
std::string failure_message(const std::string& name, const ChildOutcome& outcome, double time_limit) {
  if (outcome.start_error != 0) return "bandreport: cannot run " + name + ": " + reason(outcome.start_error);
  if (outcome.timed_out) return name + ": stopped after the time limit of " + shortest_text(time_limit) + " s";
  if (outcome.signal != 0) {
    const char* description = sigdescr_np(outcome.signal);
    return name + ": killed by signal " + std::to_string(outcome.signal) + " (" +
           (description ? description : "unknown signal") + ")";
  }
  std::string message = name + ": stopped with exit status " + std::to_string(outcome.exit_status);
  if (outcome.exit_status == textio::exit_stopped) {
    // The quadrature library's own message, the last one on standard output, says why; the line on
    // standard error only points to it.
    const std::string out = last_block_first_line(outcome.out);
    return out.empty() ? message : message + ": " + out;
  }
  const std::string err = first_line(outcome.err);
  return err.empty() ? message : err;
}

// Runs one program; true when it succeeded, with its standard-error lines added as warnings.
bool run_stage(const std::string& name, const std::string& program, const std::vector<std::string>& args,
               double time_limit, FolderResults& results) {
  const ChildOutcome outcome = run_in_folder(program, args, results.folder, time_limit);
  if (outcome.start_error != 0 || outcome.signal != 0 || outcome.exit_status != 0 || outcome.timed_out) {
    results.message = failure_message(name, outcome, time_limit);
    return false;
  }
  std::size_t start = 0;
  while (start < outcome.err.size()) {
    const std::size_t end = std::min(outcome.err.find('\n', start), outcome.err.size());
    const std::string_view line = trim(std::string_view(outcome.err).substr(start, end - start));
    if (!line.empty()) results.warnings.emplace_back(line);
    start = end + 1;
  }
  return true;
}

// Why the folder cannot be used at all, or empty when it can.
std::string folder_problem(const std::string& folder) {
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) return "bandreport: cannot use the folder: " + reason(errno);
  if (!S_ISDIR(info.st_mode)) return "bandreport: not a folder";
  if (::stat((folder + "/" + core::table_file).c_str(), &info) != 0)
    return std::string("bandreport: no ") + core::table_file + " here; use --recursive to search below";
  return "";
}

// True for a folder of the pipeline, the only kind that gets reports.
bool holds_table(const std::string& folder) {
  struct stat info;
  return ::stat((folder + "/" + core::table_file).c_str(), &info) == 0;
}

// Writes `text` line by line (every line ending in CR LF, like every other file
// of the folder) into `dir`/`name`, whole or not at all. Empty string or the failure.
std::string write_report(const std::string& dir, const std::string& name, const std::string& text) {
  textio::OutputFile file;
  if (!textio::open_output(file, dir + "/" + name, 0))
    return "bandreport: cannot write " + name + ": " + reason(file.error);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    textio::write_record(file, std::string_view(text).substr(start, end - start));
    start = end + 1;
  }
  if (!textio::commit_output(file)) return "bandreport: cannot write " + name + ": " + reason(file.error);
  return "";
}

}  // namespace

FolderResults run_pipeline(const FolderJob& job, const Programs& programs) {
  FolderResults results;
  results.folder = job.folder;
  results.name = job.name;
  if (!job.problem.empty()) {
    results.message = job.problem;
    return results;
  }
  const std::string& folder = job.folder;
  results.message = write_replaced_inputs(job);
  if (results.message.empty()) results.message = folder_problem(folder);
  if (results.message.empty()) results.message = write_missing_inputs(job);
  if (!results.message.empty()) return results;
  if (run_stage("cardel", programs.cardel, programs.cardel_args, programs.time_limit, results)) {
    results.message = read_summary_files(folder, results);
    if (results.message.empty() &&
        run_stage("vantor", programs.vantor, {"--estimates"}, programs.time_limit, results)) {
      results.message = read_band_files(folder, results);
      if (results.message.empty()) results.message = read_estimates_file(folder, results);
      results.ok = results.message.empty();
    }
  }
  std::string settings_problem;
  results.settings = read_settings(folder, settings_problem);
  std::string units_problem;
  results.units = read_units(folder, units_problem);
  for (const std::string* problem : {&settings_problem, &units_problem}) {
    if (results.ok && !problem->empty()) {
      results.ok = false;
      results.message = *problem;
    }
  }
  return results;
}

void write_reports(FolderResults& results, const ReportContext& context) {
  const std::string& folder = results.folder;
  if (holds_table(folder)) {  // else not a folder of the pipeline: nothing is written into it
    // A report that cannot be written fails an otherwise good folder (a failed one keeps
    // its first diagnostic); report.json, when it was written, is rewritten to say so.
    std::string problem = write_report(folder, "report.json", report_json(results));
    if (problem.empty()) problem = write_report(folder, "report.html", report_html(results, context));
    if (!problem.empty() && results.ok) {
      results.ok = false;
      results.message = problem;
      write_report(folder, "report.json", report_json(results));
    }
  }
  // The batch keeps every folder's results until the summary is written; the values were for the reports only.
  std::vector<double>().swap(results.log_values);
  std::vector<std::uint8_t>().swap(results.below);
}

}  // namespace bandreport
