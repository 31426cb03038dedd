// cardel: reads the measurement table "y.txt" and writes the group summary
// "out_seg.txt" and the logarithms of all measurements "logy.txt".
#include <string>

#include "cardel/group_statistics.h"
#include "cardel/result_files.h"
#include "cardel/table_input.h"
#include "textio/diagnostics.h"
#include "textio/free_form_reader.h"
#include "textio/output_file.h"

namespace {

// Fixed unit numbers, shown in diagnostics.
constexpr int table_unit = 10;
constexpr int summary_unit = 20;
constexpr int log_unit = 30;

int run() {
  textio::FreeFormReader reader;
  std::string error;
  if (!textio::open_input(reader, "y.txt", table_unit, error)) {
    textio::report("cannot open input file y.txt, unit " + std::to_string(table_unit) + ": " + error);
    return textio::exit_io_failure;
  }
  cardel::GroupTable table;
  textio::ReadStatus read_status{};
  switch (cardel::read_table(reader, table, read_status, error)) {
    case cardel::TableStatus::ok:
      break;
    case cardel::TableStatus::read_failed:
      textio::report(textio::describe_read_error(reader, read_status));
      return textio::exit_io_failure;
    case cardel::TableStatus::negative_count:
      textio::report(error);
      return textio::exit_io_failure;
  }
  reader = textio::FreeFormReader{};  // the text is not needed any more

  cardel::UniformRandom rng;
  const cardel::GroupSummary summary = cardel::summarize_groups(table, rng);

  textio::OutputFile file;
  if (!cardel::write_summary_file(file, "out_seg.txt", summary_unit, summary) ||
      !cardel::write_log_file(file, "logy.txt", log_unit, table)) {
    textio::report(textio::describe_output_error(file));
    return textio::exit_io_failure;
  }
  return textio::exit_ok;
}

}  // namespace

int main() { return textio::run_program("cardel", run, "not enough memory for the table of y.txt"); }
