// Reading a spreadsheet's CSV export field by field in bounded memory: quoted fields, a comma or semicolon delimiter.
//
// Fields are separated by the delimiter and records by LF or CR LF. A field whose first character after blanks is a
// double quote runs to the next lone double quote; inside it a doubled quote stands for one, and delimiters and line
// ends are text. A UTF-8 byte-order mark at the start is skipped; UTF-16 text and NUL bytes are refused. The file is
// read in chunks and only the part of a field the caller asks for is kept, so a field or a line of any length costs
// no more memory than that.
#pragma once

#include <cstddef>
#include <string>

namespace bandreport {

enum class CsvStatus {
  field,         // a field was read
  end_of_input,  // there is no further record
  error,         // the text is not a CSV table; the reader's error fields say where and why
};

struct CsvReader {
  int fd = -1;                       // file read in chunks, or -1 when `buffer` holds the whole text from the start
  std::size_t chunk_size = 1 << 16;  // bytes asked for by each read of the file
  std::string buffer;                // bytes read and not yet consumed, from `pos` on
  std::size_t pos = 0;               // next byte to consume
  bool exhausted = false;            // nothing more to read into `buffer`
  int read_error = 0;                // errno of a failed read
  char delimiter = ',';              // ';' when the header holds semicolons and no comma (outside quotes)
  long line = 1;                     // line of the byte at `pos`
  std::size_t field_number = 0;      // 1-based number of the last field within its record
  long field_line = 0;               // line on which the last field started
  long record_line = 1;              // line on which the last record started
  bool record_ended = true;          // the last field was the last of its record
  bool field_too_long = false;       // the last field held more bytes than the caller kept
  long error_line = 0;               // where the text is wrong
  std::size_t error_column = 0;      // the field number there, 0 when the fault is not in one field
  std::string error;                 // what is wrong
};

// Starts reading: skips a byte-order mark, refuses UTF-16, and picks the delimiter from the header line (the first
// record). False with the error fields set when the text cannot be a CSV table.
bool start_csv(CsvReader& reader);

// Reads the next field into `text`, keeping at most `keep` bytes of it (field_too_long tells when there were more).
// After the last field of a record, the next call starts the next record; end_of_input comes only at the start of
// a record.
CsvStatus next_field(CsvReader& reader, std::string& text, std::size_t keep);

}  // namespace bandreport
