// cardel: reads the measurement table "y.txt" and writes the group summary
// "out_seg.txt" and the logarithms of all measurements "logy.txt".
#include <charconv>
#include <cstdint>
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

// A detection limit as the shortest text that reads back as the same double, e.g. 0.05.
std::string shown_limit(double limit) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, limit);
  return std::string(text, result.ptr);
}

// Notes on the entries below a detection limit: whether values were imputed for them, and which exceed their limit.
void report_limit_notes(const cardel::GroupSummary& summary, std::int64_t measurements) {
  const std::string share = std::to_string(summary.below_limit) + " of " + std::to_string(measurements) +
                            (measurements == 1 ? " measurement " : " measurements ") +
                            (summary.below_limit == 1 ? "was" : "were") + " below a detection limit; ";
  if (!summary.imputed) {
    const std::string found = summary.distinct_detected == 0 ? "none" : std::to_string(summary.distinct_detected);
    textio::report("note: " + share + "regression on order statistics needs at least 2 different detected values " +
                   "(the table has " + found + "), so out_seg.txt holds the -1 markers");
    return;
  }
  textio::report("note: " + share + "the results in out_seg.txt use values imputed for them by regression on " +
                 "order statistics");
  for (const cardel::ExceededLimit& e : summary.exceeded_limits) {
    const std::string limit = shown_limit(e.limit);
    const std::string which = e.entries == 1 ? "the value imputed for the entry <" + limit + " exceeds"
                                             : std::to_string(e.above) + " of " + std::to_string(e.entries) +
                                                   " values imputed for entries <" + limit +
                                                   (e.above == 1 ? " exceeds" : " exceed");
    textio::report("note: " + which + " that limit (regression on order statistics is used without a cap)");
  }
}

// Notes on standard error for what the computation did to the measurements.
void report_notes(const cardel::GroupSummary& summary, std::int64_t measurements, std::uint64_t seed) {
  if (summary.randomly_replaced) {
    const std::string shown = std::to_string(seed);
    textio::report("note: all measurements are equal, so they were replaced by random values (seed " + shown +
                   "; --seed " + shown + " repeats this run)");
  }
  if (summary.zeros_substituted > 0) {
    const bool one = summary.zeros_substituted == 1;
    textio::report("note: " + std::to_string(summary.zeros_substituted) + " zero " +
                   (one ? "measurement was" : "measurements were") +
                   " replaced by 1e-7 before taking logarithms (the mean and standard deviation use 0); write "
                   "results below a detection limit as <limit");
  }
  if (summary.below_limit > 0) report_limit_notes(summary, measurements);
  if (summary.zeros_substituted > 0 && summary.below_limit > 0)
    textio::report(
        "note: the table holds both zeros and results below a detection limit; each zero counts as a "
        "detected value of 1e-7 (below every limit), not as a result below a limit");
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
  report_notes(summary, table.nlog, seed);

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
