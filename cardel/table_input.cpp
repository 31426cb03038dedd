// Reading the measurement table "y.txt": the group count, the row count, then one row per read.
#include "cardel/table_input.h"

#include <cstdint>
#include <vector>

namespace cardel {

TableStatus read_table(textio::FreeFormReader& reader, GroupTable& table, textio::ReadStatus& read_status,
                       std::string& message) {
  read_status = textio::read_integers(reader, &table.ncol, 1);
  if (read_status != textio::ReadStatus::ok) return TableStatus::read_failed;
  const long ncol_line = reader.next_line - 1;
  read_status = textio::read_integers(reader, &table.nrow, 1);
  if (read_status != textio::ReadStatus::ok) return TableStatus::read_failed;
  const long nrow_line = reader.next_line - 1;
  if (table.ncol < 0 || table.nrow < 0) {
    const bool groups = table.ncol < 0;
    message = std::string("negative ") + (groups ? "number of groups " : "number of rows ") +
              std::to_string(groups ? table.ncol : table.nrow) + " in file " + reader.path + ", unit " +
              std::to_string(reader.unit) + ", line " + std::to_string(groups ? ncol_line : nrow_line);
    return TableStatus::negative_count;
  }
  if (table.ncol == 0 || table.nrow == 0) return TableStatus::ok;  // no row, or rows of no values: nothing to read

  const std::uint64_t nrow = static_cast<std::uint64_t>(table.nrow);
  const std::uint64_t ncol = static_cast<std::uint64_t>(table.ncol);
  if (!textio::can_hold(reader, nrow * ncol)) {
    for (std::uint64_t i = 0; i < nrow; ++i) {
      read_status = textio::skip_reals(reader, ncol);
      if (read_status != textio::ReadStatus::ok) return TableStatus::read_failed;
    }
  }
  table.y.assign(nrow * ncol, 0.0);
  std::vector<double> row(ncol);
  for (std::uint64_t i = 0; i < nrow; ++i) {
    read_status = textio::read_reals(reader, row.data(), ncol);
    if (read_status != textio::ReadStatus::ok) return TableStatus::read_failed;
    for (std::uint64_t j = 0; j < ncol; ++j) table.y[j * nrow + i] = row[j];
  }
  return TableStatus::ok;
}

}  // namespace cardel
