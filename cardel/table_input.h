// Reading the measurement table "y.txt": the group count, the row count, then one row per read.
#pragma once

#include "cardel/group_statistics.h"
#include "textio/free_form_reader.h"

namespace cardel {

// Reads the two counts and the nrow rows into `table` (group by group); a
// negative count is refused. An entry <X (below the detection limit X, a
// positive number) is stored as X and flagged in table.below. A header that
// promises more values than the rest of the file can hold is not given memory:
// its rows are read only to find where the file falls short.
textio::ReadStatus read_table(textio::FreeFormReader& reader, GroupTable& table);

}  // namespace cardel
