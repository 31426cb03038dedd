// Reading the measurement table "y.txt": the group count, the row count, then one row per read.
#include "cardel/table_input.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cardel {

textio::ReadStatus read_table(textio::FreeFormReader& reader, GroupTable& table) {
  using textio::ReadStatus;
  ReadStatus status = textio::read_count(reader, table.ncol, "number of groups");
  if (status == ReadStatus::ok) status = textio::read_count(reader, table.nrow, "number of rows");
  if (status != ReadStatus::ok) return status;
  if (table.ncol == 0 || table.nrow == 0) return ReadStatus::ok;  // no row, or rows of no values: nothing to read

  const std::uint64_t nrow = static_cast<std::uint64_t>(table.nrow);
  const std::uint64_t ncol = static_cast<std::uint64_t>(table.ncol);
  reader.what = "row";
  status = textio::check_room(reader, nrow, ncol, textio::FieldForm::real_or_limit);
  if (status != ReadStatus::ok) return status;
  table.y.assign(nrow * ncol, 0.0);
  std::vector<double> row(ncol);
  std::vector<std::uint8_t> row_below(ncol);
  const std::string of_rows = " of " + std::to_string(nrow);
  for (std::uint64_t i = 0; i < nrow; ++i) {
    reader.what = "row " + std::to_string(i + 1) + of_rows;
    status = textio::read_entries(reader, row.data(), row_below.data(), ncol, textio::FieldForm::real_or_limit);
    if (status != ReadStatus::ok) return status;
    for (std::uint64_t j = 0; j < ncol; ++j) {
      table.y[j * nrow + i] = row[j];
      if (row_below[j] == 0) continue;
      // The flags take memory only in a table that has entries <X.
      if (table.below.empty()) table.below.assign(nrow * ncol, 0);
      table.below[j * nrow + i] = 1;
    }
  }
  return ReadStatus::ok;
}

}  // namespace cardel
