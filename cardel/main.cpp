// cardel: reads the measurement table "y.txt" and writes the group summary
// "out_seg.txt" and the logarithms of all measurements "logy.txt".
#include <string>

#include "cardel/group_statistics.h"
#include "cardel/result_files.h"
#include "cardel/table_input.h"
#include "cardel/uniform_random.h"
#include "textio/diagnostics.h"
#include "textio/free_form_reader.h"
#include "textio/output_file.h"
#include "textio/program_frame.h"

namespace {

// Fixed unit numbers, shown in diagnostics.
constexpr int table_unit = 10;
constexpr int summary_unit = 20;
constexpr int log_unit = 30;

constexpr std::string_view description =
    "Reads the measurement table y.txt (the number of groups, the number of rows, then one\n"
    "row per line holding the next entry of every group; a negative entry marks a missing\n"
    "measurement) and writes out_seg.txt (the fold range of the group means, then the mean,\n"
    "standard deviation, geometric mean and geometric standard deviation of all measurements)\n"
    "and logy.txt (the count and the natural logarithms of all measurements).\n";

// Notes on standard error for what the computation did to the measurements.
void report_notes(const cardel::GroupSummary& summary, std::uint64_t seed) {
  if (summary.randomly_replaced) {
    const std::string shown = std::to_string(seed);
    textio::report("note: all measurements are equal, so they were replaced by random values (seed " + shown +
                   "; --seed " + shown + " repeats this run)");
  }
  if (summary.zeros_substituted > 0) {
    const bool one = summary.zeros_substituted == 1;
    textio::report("note: " + std::to_string(summary.zeros_substituted) + " zero " +
                   (one ? "measurement was" : "measurements were") +
                   " replaced by 1e-7 before taking logarithms (the mean and standard deviation use 0)");
  }
}

int run(const textio::RunOptions& options) {
  textio::FreeFormReader reader;
  std::string error;
  if (!textio::open_input(reader, "y.txt", table_unit, error)) {
    textio::report(error);
    return textio::exit_io_failure;
  }
  cardel::GroupTable table;
  const textio::ReadStatus status = cardel::read_table(reader, table);
  if (status != textio::ReadStatus::ok) {
    textio::report(textio::describe_read_error(reader, status));
    return textio::exit_io_failure;
  }
  textio::warn_ignored_input(reader, table.nrow > 0 && table.ncol > 0 ? "the last row" : "the number of rows");
  reader = textio::FreeFormReader{};  // the text is not needed any more

  const std::uint64_t seed = options.seed_given ? options.seed : cardel::clock_seed();
  const cardel::GroupSummary summary = cardel::summarize_groups(table, seed);
  report_notes(summary, seed);

  textio::OutputFile file;
  if (!cardel::write_summary_file(file, "out_seg.txt", summary_unit, summary) ||
      !cardel::write_log_file(file, "logy.txt", log_unit, table)) {
    textio::report(textio::describe_output_error(file));
    return textio::exit_io_failure;
  }
  return textio::exit_ok;
}

}  // namespace

int main(int argc, char** argv) {
  const textio::ProgramInfo info{.name = "cardel",
                                 .description = description,
                                 .memory_message = "not enough memory for the table of y.txt",
                                 .takes_seed = true,
                                 .integrates = false};  // cardel computes without integrating: never status 3
  return textio::run_program(info, argc, argv, run);
}
