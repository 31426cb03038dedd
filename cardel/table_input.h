// Reading the measurement table "y.txt": the group count, the row count, then one row per read.
#pragma once

#include <string>

#include "cardel/group_statistics.h"
#include "textio/free_form_reader.h"

namespace cardel {

enum class TableStatus {
  ok,
  read_failed,     // the reader's status and details say what (end of file, conversion, syntax)
  negative_count,  // a negative number of groups or rows; `message` says which
};

// Reads the two counts and the nrow rows into `table` (group by group). A
// header that promises more values than the rest of the file can hold is not
// given memory: its rows are read only to find where the file falls short.
TableStatus read_table(textio::FreeFormReader& reader, GroupTable& table, textio::ReadStatus& read_status,
                       std::string& message);

}  // namespace cardel
