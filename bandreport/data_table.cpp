// A spreadsheet export read into segments: one table of measurements per distinct segment, checked whole.
#include "bandreport/data_table.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bandreport/csv_reader.h"
#include "bandreport/text_escape.h"
#include "textio/diagnostics.h"

namespace bandreport {

namespace {

enum Column { segment_column, value_column, group_column, limit_column, units_column, column_kinds };
constexpr const char* column_names[column_kinds] = {"segment", "value", "group", "limit", "units"};

// A field's text as a diagnostic shows it: quoted, printable and not too long.
std::string quoted(std::string_view text) {
  constexpr std::size_t shown_limit = 60;
  std::string shown;
  for (const char c : valid_utf8(text.substr(0, shown_limit)))
    shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  return "\"" + shown + (text.size() > shown_limit ? "...\"" : "\"");
}

bool has_control_character(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

std::string lower_ascii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return lower;
}

// One export being read: where its columns are and what has been gathered so far.
struct Reading {
  Reading(CsvReader& csv_reader, const std::string& shown_name, DataTable& data)
      : csv(csv_reader), shown(shown_name), table(data) {}
  CsvReader& csv;
  const std::string& shown;
  DataTable& table;
  std::vector<int> kind_of_field;           // per header field: the Column it is, or -1 for one not read
  std::size_t field_of[column_kinds] = {};  // 1-based field number of each column, 0 when the header lacks it
  std::unordered_map<std::string, std::size_t> segment_index;
  std::size_t groups = 0;
  std::size_t rows = 0;
  std::string texts[column_kinds];  // the fields of the current line, trimmed
  long lines[column_kinds] = {};    // the lines they start on
};

std::string diagnostic(const Reading& r, long line, std::size_t column, const std::string& what) {
  std::string text = "bandreport: " + r.shown + ", line " + std::to_string(line);
  if (column > 0) text += ", column " + std::to_string(column);
  return text + ": " + what;
}

// A fault in the field of `kind` on the current line.
std::string field_fault(const Reading& r, int kind, const std::string& what) {
  return "bandreport: " + r.shown + ", line " + std::to_string(r.lines[kind]) + ", column " +
         std::to_string(r.field_of[kind]) + " (" + column_names[kind] + "): " + what;
}

std::string csv_fault(const Reading& r) { return diagnostic(r, r.csv.error_line, r.csv.error_column, r.csv.error); }

std::string read_header(Reading& r) {
  std::string field;
  for (;;) {
    const CsvStatus status = next_field(r.csv, field, data_field_limit);
    if (status == CsvStatus::end_of_input) return diagnostic(r, 1, 0, "the file is empty: there is no header line");
    if (status == CsvStatus::error) return csv_fault(r);
    const std::size_t column = r.csv.field_number;
    if (column > data_column_limit)
      return diagnostic(r, r.csv.field_line, 0, "more than " + std::to_string(data_column_limit) + " columns");
    int kind = -1;
    const std::string name = lower_ascii(trim(field));
    for (int k = 0; k < column_kinds && !r.csv.field_too_long; ++k)
      if (name == column_names[k]) kind = k;
    if (kind >= 0) {
      if (r.field_of[kind] != 0)
        return diagnostic(r, r.csv.field_line, column,
                          std::string("a second column \"") + column_names[kind] + "\" (the first is column " +
                              std::to_string(r.field_of[kind]) + ")");
      r.field_of[kind] = column;
    }
    r.kind_of_field.push_back(kind);
    if (r.csv.record_ended) break;
  }
  for (const int required : {segment_column, value_column})
    if (r.field_of[required] == 0)
      return diagnostic(r, 1, 0, std::string("the header has no column \"") + column_names[required] + "\"");
  return "";
}

// Reads the fields of one line into r.texts. Sets `ended` at the end of the file, `blank` for a line that holds
// nothing to read.
std::string read_line(Reading& r, bool& ended, bool& blank) {
  std::string field;
  for (std::string& text : r.texts) text.clear();
  const std::size_t columns = r.kind_of_field.size();
  bool empty_line = false;
  for (std::size_t index = 0;; ++index) {
    const int kind = index < columns ? r.kind_of_field[index] : -1;
    // A byte of the first field is kept in any case, to tell an empty line from one field that is not read.
    const std::size_t keep = kind >= 0 ? data_field_limit : index == 0 ? 1 : 0;
    const CsvStatus status = next_field(r.csv, field, keep);
    if (status == CsvStatus::end_of_input) {
      ended = true;
      return "";
    }
    if (status == CsvStatus::error) return csv_fault(r);
    if (kind >= 0) {
      r.lines[kind] = r.csv.field_line;
      if (r.csv.field_too_long)
        return field_fault(r, kind, "the field is longer than " + std::to_string(data_field_limit) + " bytes");
      r.texts[kind] = trim(field);
    }
    if (index == 0) empty_line = r.csv.record_ended && field.empty() && !r.csv.field_too_long;
    if (r.csv.record_ended) {
      if (empty_line) break;
      if (index + 1 != columns)
        return diagnostic(r, r.csv.record_line, 0,
                          std::to_string(index + 1) + (index == 0 ? " field" : " fields") + " where the header has " +
                              std::to_string(columns));
      break;
    }
  }
  blank = true;
  for (const std::string& text : r.texts) blank = blank && text.empty();
  return "";
}

// Adds the line in r.texts to its segment.
std::string take_line(Reading& r) {
  for (const int kind : {segment_column, group_column, units_column})
    if (valid_utf8(r.texts[kind]) != r.texts[kind])
      return field_fault(r, kind, "the text is not UTF-8; save the file as UTF-8 text");
  if (r.texts[segment_column].empty()) return field_fault(r, segment_column, "the segment is empty");
  if (has_control_character(r.texts[units_column]))
    return field_fault(r, units_column, "the units hold a control character");
  const bool decimal_comma = r.csv.delimiter == ';';
  const std::optional<Entry> entry = export_entry(r.texts[value_column], decimal_comma);
  if (!entry) return field_fault(r, value_column, quoted(r.texts[value_column]) + " is not a number or <X");
  std::optional<double> limit;
  if (!r.texts[limit_column].empty()) {
    limit = export_number(r.texts[limit_column], decimal_comma);
    if (!limit || !(*limit > 0.0))
      return field_fault(r, limit_column, quoted(r.texts[limit_column]) + " is not a positive number");
  }
  if (++r.rows > data_row_limit)
    return diagnostic(r, r.csv.record_line, 0,
                      "more than " + std::to_string(data_row_limit) + " lines of measurements");

  const auto [found, added] = r.segment_index.try_emplace(r.texts[segment_column], r.table.segments.size());
  if (added) {
    if (r.table.segments.size() == data_segment_limit)
      return field_fault(r, segment_column, "more than " + std::to_string(data_segment_limit) + " segments");
    r.table.segments.emplace_back().text = r.texts[segment_column];
  }
  Segment& segment = r.table.segments[found->second];
  if (limit) {
    if (!segment.limit) {
      segment.limit = limit;
      segment.limit_text = r.texts[limit_column];
    } else if (*segment.limit != *limit) {
      return field_fault(r, limit_column,
                         "segment " + quoted(segment.text) + " has two limits, " + quoted(segment.limit_text) +
                             " and " + quoted(r.texts[limit_column]));
    }
  }
  const std::string& units = r.texts[units_column];
  if (!units.empty()) {
    if (segment.units.empty()) {
      segment.units = units;
    } else if (segment.units != units) {
      return field_fault(
          r, units_column,
          "segment " + quoted(segment.text) + " has two units, " + quoted(segment.units) + " and " + quoted(units));
    }
  }
  const auto [group, new_group] = segment.group_index.try_emplace(r.texts[group_column], segment.groups.size());
  if (new_group) {
    if (++r.groups > data_group_limit)
      return field_fault(r, r.field_of[group_column] ? group_column : segment_column,
                         "more than " + std::to_string(data_group_limit) + " groups in all segments");
    segment.groups.push_back(r.texts[group_column]);
    segment.entries.emplace_back();
  }
  segment.entries[group->second].push_back(*entry);
  return "";
}

std::string read_data(CsvReader& csv, const std::string& shown, DataTable& table) {
  table = DataTable{};
  Reading r{csv, shown, table};
  if (!start_csv(csv)) return csv_fault(r);
  std::string fault = read_header(r);
  for (;;) {
    if (!fault.empty()) return fault;
    bool ended = false, blank = false;
    fault = read_line(r, ended, blank);
    if (ended) break;
    if (fault.empty() && !blank) fault = take_line(r);
  }
  if (table.segments.empty()) return "bandreport: " + shown + ": no measurements below the header line";
  return "";
}

// Closes a descriptor at scope end.
struct OpenFile {
  int fd = -1;
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::string read_data_file(const std::string& path, DataTable& table) {
  OpenFile file;
  do file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  while (file.fd < 0 && errno == EINTR);
  if (file.fd < 0) return "bandreport: cannot read " + path + ": " + textio::system_message(errno);
  struct stat info;
  if (::fstat(file.fd, &info) == 0 && S_ISDIR(info.st_mode))
    return "bandreport: cannot read " + path + ": " + textio::system_message(EISDIR);
  return read_data_stream(file.fd, path, table);
}

std::string read_data_stream(int fd, const std::string& shown, DataTable& table, std::size_t chunk_size) {
  CsvReader csv;
  csv.fd = fd;
  csv.chunk_size = chunk_size;
  return read_data(csv, shown, table);
}

std::string read_data_text(std::string text, const std::string& shown, DataTable& table) {
  CsvReader csv;
  csv.buffer = std::move(text);
  return read_data(csv, shown, table);
}

}  // namespace bandreport
