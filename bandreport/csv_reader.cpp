// Reading a spreadsheet's CSV export field by field in bounded memory.
#include "bandreport/csv_reader.h"

#include <cerrno>
#include <unistd.h>

#include "textio/diagnostics.h"

namespace bandreport {

namespace {

// The header line is scanned for its delimiter before its first field is read, so it must fit in memory; a
// spreadsheet's header is far shorter than this.
constexpr std::size_t header_scan_limit = 1 << 20;
constexpr int end_of_text = -1;

// Appends one more chunk to what is not consumed yet. False when nothing more could be read.
bool read_more(CsvReader& r) {
  if (r.exhausted) return false;
  if (r.pos > 0) {
    r.buffer.erase(0, r.pos);
    r.pos = 0;
  }
  const std::size_t kept = r.buffer.size();
  r.buffer.resize(kept + r.chunk_size);
  ssize_t n;
  do n = ::read(r.fd, r.buffer.data() + kept, r.chunk_size);
  while (n < 0 && errno == EINTR);
  r.buffer.resize(kept + (n > 0 ? static_cast<std::size_t>(n) : 0));
  if (n > 0) return true;
  r.exhausted = true;
  if (n < 0) r.read_error = errno;
  return false;
}

// The byte `ahead` places after the next one to consume, or end_of_text.
int peek(CsvReader& r, std::size_t ahead = 0) {
  while (r.pos + ahead >= r.buffer.size())
    if (!read_more(r)) return end_of_text;
  return static_cast<unsigned char>(r.buffer[r.pos + ahead]);
}

void advance(CsvReader& r) {
  if (r.buffer[r.pos] == '\n') ++r.line;
  ++r.pos;
}

CsvStatus fail(CsvReader& r, long line, std::size_t column, std::string what) {
  r.error_line = line;
  r.error_column = column;
  r.error = std::move(what);
  return CsvStatus::error;
}

CsvStatus read_failure(CsvReader& r) {
  return fail(r, r.line, 0, "cannot read the file: " + textio::system_message(r.read_error));
}

CsvStatus nul_byte(CsvReader& r) {
  return fail(r, r.line, r.field_number, "the file holds NUL bytes, as UTF-16 text does; save it as UTF-8 text");
}

// A CR ends a line only before an LF, or at the very end of the text.
bool ends_field(CsvReader& r, int c) {
  if (c == '\r') {
    const int next = peek(r, 1);
    return next == '\n' || next == end_of_text;
  }
  return c == end_of_text || c == r.delimiter || c == '\n';
}

// Consumes what ended a field: the delimiter, or a line end (which also ends the record).
void finish_field(CsvReader& r, int c) {
  if (c == r.delimiter) {
    advance(r);
    return;
  }
  if (c == '\r') {
    advance(r);
    c = peek(r);
  }
  if (c == '\n') advance(r);
  r.record_ended = true;
}

}  // namespace

bool start_csv(CsvReader& r) {
  if (r.fd < 0) r.exhausted = true;
  const int first = peek(r), second = peek(r, 1), third = peek(r, 2);
  if (first == 0xEF && second == 0xBB && third == 0xBF) {
    r.pos += 3;
  } else if ((first == 0xFF && second == 0xFE) || (first == 0xFE && second == 0xFF)) {
    fail(r, 1, 0, "the file is UTF-16 text; save it as UTF-8 text");
    return false;
  }
  // A comma outside quotes decides at once; a semicolon only when the header line holds no comma.
  bool quoted = false, semicolon = false;
  for (std::size_t ahead = 0;; ++ahead) {
    if (ahead == header_scan_limit) {
      fail(r, 1, 0, "the header line is longer than " + std::to_string(header_scan_limit) + " bytes");
      return false;
    }
    const int c = peek(r, ahead);
    if (c == end_of_text || (!quoted && c == '\n')) break;
    if (c == '"') quoted = !quoted;  // a doubled quote turns it off and on again
    if (!quoted && c == ',') {
      r.delimiter = ',';
      return true;
    }
    if (!quoted && c == ';') semicolon = true;
  }
  if (r.read_error != 0) {
    read_failure(r);
    return false;
  }
  r.delimiter = semicolon ? ';' : ',';
  return true;
}

CsvStatus next_field(CsvReader& r, std::string& text, std::size_t keep) {
  text.clear();
  r.field_too_long = false;
  if (r.record_ended) {
    if (peek(r) == end_of_text) return r.read_error != 0 ? read_failure(r) : CsvStatus::end_of_input;
    r.field_number = 0;
    r.record_line = r.line;
    r.record_ended = false;
  }
  ++r.field_number;
  r.field_line = r.line;
  const auto keep_byte = [&](int c) {
    if (text.size() < keep) {
      text += static_cast<char>(c);
    } else {
      r.field_too_long = true;
    }
  };
  int c = peek(r);
  while (c == ' ' || c == '\t') {
    advance(r);
    c = peek(r);
  }
  if (c == '"') {
    advance(r);
    for (;;) {
      c = peek(r);
      if (c == end_of_text) {
        if (r.read_error != 0) return read_failure(r);
        return fail(r, r.field_line, r.field_number, "the quote that opens the field is never closed");
      }
      if (c == 0) return nul_byte(r);
      advance(r);
      if (c == '"') {
        if (peek(r) != '"') break;
        advance(r);
      }
      keep_byte(c);
    }
    c = peek(r);
    while (c == ' ' || c == '\t') {
      advance(r);
      c = peek(r);
    }
    if (!ends_field(r, c)) return fail(r, r.line, r.field_number, "text follows the closing quote of the field");
  } else {
    while (!ends_field(r, c)) {
      if (c == 0) return nul_byte(r);
      if (c == '\r')
        return fail(r, r.line, r.field_number, "a line ends in CR alone; save the file with CR LF or LF line ends");
      keep_byte(c);
      advance(r);
      c = peek(r);
    }
  }
  if (c == end_of_text && r.read_error != 0) return read_failure(r);
  finish_field(r, c);
  return CsvStatus::field;
}

}  // namespace bandreport
