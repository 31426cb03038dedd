// A spreadsheet export read into segments: one table of measurements per distinct segment, checked whole.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "bandreport/export_number.h"

namespace bandreport {

// What one export may hold. Fields of the columns read are kept, so they are capped; other columns are only
// scanned. Together these keep the memory of any file within a few hundred megabytes.
constexpr std::size_t data_field_limit = 1024;      // bytes in a field of a column that is read
constexpr std::size_t data_column_limit = 16384;    // fields in a line
constexpr std::size_t data_row_limit = 10'000'000;  // lines of measurements
constexpr std::size_t data_segment_limit = 10'000;  // segments, i.e. folders
constexpr std::size_t data_group_limit = 100'000;   // groups of all segments together

struct Segment {
  std::string text;                         // the segment as written, without surrounding blanks
  std::vector<std::string> groups;          // in order of first appearance
  std::vector<std::vector<Entry>> entries;  // per group, in file order
  std::unordered_map<std::string, std::size_t> group_index;
  std::optional<double> limit;  // from the limit column
  std::string limit_text;       // as written, for messages
  std::string units;            // from the units column; empty when none
};

struct DataTable {
  std::vector<Segment> segments;  // in order of first appearance
};

// Reads the export at `path` into `table`. Returns an empty string, or the diagnostic naming the file as `path`
// gives it, the line and the field, e.g. "bandreport: data.csv, line 7, column 3 (value): "1.2.3" is not a number
// or <X". Rows whose segment, value, group, limit and units are all empty are skipped, as spreadsheets export
// blank rows.
std::string read_data_file(const std::string& path, DataTable& table);

// As read_data_file, for an export read from the open descriptor `fd` in reads of
// `chunk_size` bytes; `shown` names it in diagnostics.
std::string read_data_stream(int fd, const std::string& shown, DataTable& table, std::size_t chunk_size = 1 << 16);

// As read_data_file, for an export already in memory.
std::string read_data_text(std::string text, const std::string& shown, DataTable& table);

}  // namespace bandreport
