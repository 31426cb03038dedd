// Record-oriented reading of free-form numbers from a text file.
#include "textio/free_form_reader.h"

#include <cassert>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "textio/diagnostics.h"

namespace textio {

namespace {

// Declared inline: they run for every character read, and the compiler leaves them out of line otherwise.
inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool ends_field(char c) { return is_blank(c) || c == ',' || c == '/' || c == '\n'; }

const char* const plain_text_advice = "save it as plain text (UTF-8 or ASCII) and run again";

// The text as it may be shown in a diagnostic: printable, and not too long.
std::string quote_field(const char* begin, const char* end) {
  std::string shown = "\"";
  for (const char* p = begin; p != end && shown.size() < 41; ++p) shown += (*p >= 0x20 && *p < 0x7f) ? *p : '?';
  if (end - begin > 40) shown += "...";
  return shown + "\"";
}

// The line holding `p`, without its line end, quoted for a diagnostic.
std::string quote_line(const FreeFormReader& reader, const char* p) {
  const char* text = reader.text.data();
  const char* end = text + reader.text.size();
  const char* begin = p;
  while (begin != text && begin[-1] != '\n') --begin;
  const char* stop = static_cast<const char*>(std::memchr(p, '\n', end - p));
  if (!stop) stop = end;
  while (stop != begin && is_blank(stop[-1])) --stop;
  while (begin != stop && is_blank(*begin)) ++begin;
  return quote_field(begin, stop);
}

ReadStatus fail(FreeFormReader& reader, ReadStatus status, long line, std::string detail) {
  reader.error_line = line;
  reader.error_detail = std::move(detail);
  return status;
}

// Checks the shape [sign] digits [. digits] [letter [sign] digits] with at
// least one mantissa digit, the exponent letter one of E e D d.
bool is_real_form(const char* p, const char* end) {
  if (p != end && (*p == '+' || *p == '-')) ++p;
  int digits = 0;
  while (p != end && is_digit(*p)) ++p, ++digits;
  if (p != end && *p == '.') {
    ++p;
    while (p != end && is_digit(*p)) ++p, ++digits;
  }
  if (digits == 0) return false;
  if (p == end) return true;
  if (*p != 'E' && *p != 'e' && *p != 'D' && *p != 'd') return false;
  ++p;
  if (p != end && (*p == '+' || *p == '-')) ++p;
  if (p == end || !is_digit(*p)) return false;
  while (p != end && is_digit(*p)) ++p;
  return p == end;
}

// For a field of the real form whose value is not zero: true when its
// magnitude is below 1, judged on the decimal exponent of its first non-zero digit.
bool magnitude_below_one(const char* p, const char* end) {
  if (*p == '+' || *p == '-') ++p;
  const char* point = p;
  while (point != end && is_digit(*point)) ++point;
  long position = (point - p) - 1;  // decimal exponent of the mantissa digit being looked at
  long lead = 0;
  bool found = false;
  for (const char* q = p; q != end && !found; ++q) {
    if (*q == '.') continue;
    if (!is_digit(*q)) break;
    if (*q != '0') {
      lead = position;
      found = true;
    }
    --position;
  }
  const char* letter = p;
  while (letter != end && (is_digit(*letter) || *letter == '.')) ++letter;
  long exponent = 0;
  if (letter != end) {
    const char* q = letter + 1;
    const bool negative = *q == '-';
    if (*q == '+' || *q == '-') ++q;
    for (; q != end && exponent < 1000000; ++q) exponent = exponent * 10 + (*q - '0');
    if (negative) exponent = -exponent;
  }
  return lead + exponent < 0;
}

// Converts a field already known to have the real form; the value is the
// correctly rounded double, whatever the locale. A magnitude beyond the largest
// double is refused; one below the smallest subnormal becomes zero of its sign.
bool convert_real(const char* begin, const char* end, double& value) {
  std::string normal(begin + (*begin == '+' ? 1 : 0), end);
  for (char& c : normal)
    if (c == 'D' || c == 'd') c = 'e';
  const char* first = normal.data();
  const char* last = first + normal.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec == std::errc() && ptr == last) return true;
  if (ec != std::errc::result_out_of_range || !magnitude_below_one(first, last)) return false;
  value = *first == '-' ? -0.0 : 0.0;
  return true;
}

// The detail for a field that is not a number: NUL bytes mean UTF-16 text or
// some other binary format, which deserves advice rather than the bytes.
std::string not_a_number(const char* begin, const char* end, const char* what) {
  if (std::memchr(begin, '\0', end - begin))
    return std::string("the file holds NUL bytes, as UTF-16 text does; ") + plain_text_advice;
  return quote_field(begin, end) + what;
}

ReadStatus parse_real(FreeFormReader& reader, long line, const char* begin, const char* end, double& value) {
  if (!is_real_form(begin, end))
    return fail(reader, ReadStatus::conversion_error, line, not_a_number(begin, end, " is not a number"));
  if (!convert_real(begin, end, value))
    return fail(reader, ReadStatus::conversion_error, line,
                quote_field(begin, end) + " is beyond the range of double precision");
  return ReadStatus::ok;
}

// True when the mantissa of a field of the real form has a digit other than 0.
bool nonzero_mantissa(const char* p, const char* end) {
  for (; p != end && *p != 'E' && *p != 'e' && *p != 'D' && *p != 'd'; ++p)
    if (*p >= '1' && *p <= '9') return true;
  return false;
}

// Where a field ends at `end`: the end of the field that follows it on its line after blanks, else `end`.
const char* end_of_next_field(const FreeFormReader& reader, const char* end) {
  const char* const text_end = reader.text.data() + reader.text.size();
  const char* next = end;
  while (next != text_end && is_blank(*next)) ++next;
  if (next == end || next == text_end || ends_field(*next)) return end;
  while (next != text_end && !ends_field(*next)) ++next;
  return next;
}

// A field that may be an entry "<X" (below the detection limit X) where `form` allows one, else a real. The
// detail of a refusal shows what was written and how to write it.
ReadStatus parse_entry(FreeFormReader& reader, long line, const char* begin, const char* end, FieldForm form,
                       double& value, std::uint8_t& below) {
  below = 0;
  if (form == FieldForm::real || *begin != '<') return parse_real(reader, line, begin, end, value);
  const bool limit = form == FieldForm::real_or_limit;
  const char* const refusal =
      limit ? " is not a detection limit: write <X " : " is not the logarithm of a detection limit: write <v ";
  const char* const example = limit ? ", such as <0.05" : ", such as <-2.99573227355399";
  const char* const number = begin + 1;
  // "< 0.05": the limit written as a field of its own, which would read as a measurement.
  const char* const stop = number == end ? end_of_next_field(reader, end) : end;
  if (stop != end)
    return fail(reader, ReadStatus::conversion_error, line,
                quote_field(begin, stop) + refusal + "without a blank after <" + example);
  if (std::memchr(begin, '\0', end - begin))
    return fail(reader, ReadStatus::conversion_error, line, not_a_number(begin, end, ""));
  const char* const rule = limit ? "with X a positive number" : "with v a number";
  if (!is_real_form(number, end))
    return fail(reader, ReadStatus::conversion_error, line, quote_field(begin, end) + refusal + rule + example);
  const bool in_range = convert_real(number, end, value);
  // A limit that rounds to zero from a positive mantissa is as far beyond the range of doubles as one that overflows.
  if (!in_range || (limit && value == 0.0 && !std::signbit(value) && nonzero_mantissa(number, end)))
    return fail(reader, ReadStatus::conversion_error, line,
                quote_field(begin, end) + " is beyond the range of double precision");
  if (limit && !(value > 0.0))
    return fail(reader, ReadStatus::conversion_error, line, quote_field(begin, end) + refusal + rule + example);
  below = 1;
  return ReadStatus::ok;
}

ReadStatus parse_integer(FreeFormReader& reader, long line, const char* begin, const char* end, std::int32_t& value) {
  const bool plus = *begin == '+';
  const char* digits = begin + (plus ? 1 : 0);  // the converter takes no plus sign
  if (digits != end && !(plus && *digits == '-')) {
    auto [ptr, ec] = std::from_chars(digits, end, value);
    if (ec == std::errc() && ptr == end) return ReadStatus::ok;
    if (ec == std::errc::result_out_of_range && ptr == end)
      return fail(reader, ReadStatus::conversion_error, line,
                  quote_field(begin, end) + " is beyond the range of a count (-2147483648 to 2147483647)");
  }
  if (is_real_form(begin, end))
    return fail(reader, ReadStatus::conversion_error, line, quote_field(begin, end) + " is not a whole number");
  return fail(reader, ReadStatus::conversion_error, line, not_a_number(begin, end, " is not a number"));
}

// Before the first read: skips a UTF-8 byte-order mark, refuses UTF-16 text.
ReadStatus start_of_file(FreeFormReader& reader) {
  const std::string_view text = reader.text;
  if (text.starts_with("\xEF\xBB\xBF")) reader.next = 3;
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
    return fail(reader, ReadStatus::conversion_error, 1, std::string("the file is UTF-16 text; ") + plain_text_advice);
  return ReadStatus::ok;
}

// One read operation of `count` fields, each handed to `take(i, begin, end, line)`.
template <typename Take>
ReadStatus read_fields(FreeFormReader& reader, std::size_t count, Take take) {
  if (count == 0) return ReadStatus::ok;  // a read of nothing consumes no line
  if (reader.next == 0 && start_of_file(reader) != ReadStatus::ok) return ReadStatus::conversion_error;
  const char* const text = reader.text.data();
  const char* const end = text + reader.text.size();
  const char* p = text + reader.next;
  long line = reader.next_line;
  bool after_comma = true;  // a comma here would stand for a missing (null) value
  for (std::size_t i = 0; i < count; ++i) {
    for (;;) {
      if (p == end) {
        reader.values_taken = i;
        reader.values_wanted = count;
        return fail(reader, ReadStatus::end_of_file, line, "");
      }
      const char c = *p;
      if (c == '\n') {
        ++line;
        ++p;
      } else if (is_blank(c)) {
        ++p;
      } else if (c == ',') {
        if (after_comma)
          return fail(reader, ReadStatus::syntax_error, line,
                      quote_line(reader, p) + ": empty values between commas are not supported");
        after_comma = true;
        ++p;
      } else if (c == '/') {
        return fail(reader, ReadStatus::syntax_error, line,
                    quote_line(reader, p) + ": a slash that ends a read early is not supported");
      } else {
        break;
      }
    }
    const char* field = p;
    while (p != end && !ends_field(*p)) ++p;
    if (std::memchr(field, '*', p - field))
      return fail(reader, ReadStatus::syntax_error, line, quote_field(field, p) + ": repeat counts are not supported");
    ReadStatus status = take(i, field, p, line);
    if (status != ReadStatus::ok) return status;
    after_comma = false;
  }
  // The rest of the line where the last value ends is ignored; text there is recorded for the warning.
  while (p != end && (is_blank(*p) || *p == ',')) ++p;
  if (p != end && *p != '\n') {
    if (reader.overfull_lines++ == 0) reader.first_overfull_line = line;
    const void* newline = std::memchr(p, '\n', end - p);
    p = newline ? static_cast<const char*>(newline) : end;
  }
  reader.next = p == end ? reader.text.size() : static_cast<std::size_t>(p - text) + 1;
  reader.next_line = line + 1;
  return ReadStatus::ok;
}

ReadStatus skip_fields(FreeFormReader& reader, std::size_t count, FieldForm form) {
  return read_fields(reader, count, [&](std::size_t, const char* b, const char* e, long line) {
    double ignored;
    std::uint8_t below;
    return parse_entry(reader, line, b, e, form, ignored, below);
  });
}

// The number of the last line holding anything but blanks, 0 for a blank file.
long last_data_line(const FreeFormReader& reader) {
  const char* text = reader.text.data();
  const char* p = text + reader.text.size();
  while (p != text && (is_blank(p[-1]) || p[-1] == '\n')) --p;
  if (p == text) return 0;
  long line = 1;
  for (const char* q = text; q != p; ++q) line += *q == '\n' ? 1 : 0;
  return line;
}

std::string end_of_file_detail(const FreeFormReader& reader) {
  const long last = last_data_line(reader);
  std::string detail = last == 0 ? "the file ends before any data" : "the file ends after line " + std::to_string(last);
  if (!reader.what.empty()) detail += " while reading " + reader.what;
  if (reader.values_wanted > 1)
    detail +=
        " (" + std::to_string(reader.values_taken) + " of " + std::to_string(reader.values_wanted) + " values read)";
  return detail;
}

}  // namespace

bool open_input(FreeFormReader& reader, const std::string& path, int unit, std::string& message,
                std::string_view missing_hint) {
  reader = FreeFormReader{};
  reader.path = path;
  reader.unit = unit;
  const std::string where = path + ", unit " + std::to_string(unit) + ": ";
  int fd;
  do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);  // a signal during the open is not a failure of the file
  if (fd < 0) {
    const int reason = errno;
    reader.open_error = reason;
    message = "cannot open input file " + where + system_message(reason);
    if (reason == ENOENT && !missing_hint.empty()) message += " (" + std::string(missing_hint) + ")";
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    reader.open_error = EISDIR;
    message = "cannot open input file " + where + system_message(EISDIR);
    return false;
  }
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int reason = errno;
      reader.open_error = reason;
      message = "cannot read input file " + where + system_message(reason);
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    reader.text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return true;
}

ReadStatus read_integers(FreeFormReader& reader, std::int32_t* values, std::size_t count) {
  return read_fields(reader, count, [&](std::size_t i, const char* b, const char* e, long line) {
    return parse_integer(reader, line, b, e, values[i]);
  });
}

ReadStatus read_reals(FreeFormReader& reader, double* values, std::size_t count) {
  return read_fields(reader, count, [&](std::size_t i, const char* b, const char* e, long line) {
    return parse_real(reader, line, b, e, values[i]);
  });
}

ReadStatus read_entries(FreeFormReader& reader, double* values, std::uint8_t* below, std::size_t count,
                        FieldForm form) {
  return read_fields(reader, count, [&](std::size_t i, const char* b, const char* e, long line) {
    if (*b != '<') {  // the common case, kept as quick as a read of reals
      below[i] = 0;
      return parse_real(reader, line, b, e, values[i]);
    }
    return parse_entry(reader, line, b, e, form, values[i], below[i]);
  });
}

ReadStatus read_count(FreeFormReader& reader, std::int32_t& count, std::string_view what) {
  reader.what = "the " + std::string(what);
  const ReadStatus status = read_integers(reader, &count, 1);
  if (status != ReadStatus::ok || count >= 0) return status;
  return fail(reader, ReadStatus::negative_count, reader.next_line - 1,
              std::string(what) + " " + std::to_string(count));
}

namespace {

// Bytes not yet consumed by read operations.
std::size_t bytes_left(const FreeFormReader& reader) { return reader.text.size() - reader.next; }

}  // namespace

ReadStatus check_room(FreeFormReader& reader, std::uint64_t reads, std::uint64_t values_per_read, FieldForm form) {
  if (reads == 0 || values_per_read == 0) return ReadStatus::ok;
  // Every value takes at least one character (an entry "<X" two) and all but the last a separator.
  const std::uint64_t room = bytes_left(reader) / 2 + 1;
  if (values_per_read <= room && reads <= room / values_per_read) return ReadStatus::ok;
  const std::string one_read = reader.what.empty() ? "read" : reader.what;
  for (std::uint64_t i = 1; i <= reads; ++i) {
    const ReadStatus status = skip_fields(reader, values_per_read, form);
    if (status != ReadStatus::ok) {
      reader.what = one_read + " " + std::to_string(i) + " of " + std::to_string(reads);
      return status;
    }
  }
  assert(!"a file too short for its reads fails on one of them");
  return fail(reader, ReadStatus::end_of_file, reader.next_line, "");
}

void warn_ignored_input(const FreeFormReader& reader, std::string_view after_last) {
  if (reader.overfull_lines > 0) {
    std::string message = "warning: line " + std::to_string(reader.first_overfull_line) + " of file " + reader.path +
                          " holds more than its read takes (extra columns, or a decimal comma such as 1,5, which "
                          "reads as two values); the rest of the line was ignored";
    if (reader.overfull_lines > 1)
      message += ", here and on " + std::to_string(reader.overfull_lines - 1) + " more line" +
                 (reader.overfull_lines > 2 ? "s" : "");
    report(message);
  }
  if (after_last.empty()) return;
  long line = reader.next_line;
  for (std::size_t k = reader.next; k < reader.text.size(); ++k) {
    const char c = reader.text[k];
    if (c == '\n') {
      ++line;
    } else if (!is_blank(c)) {
      report("warning: file " + reader.path + " has non-blank lines after " + std::string(after_last) + " (line " +
             std::to_string(line) + " on); they were ignored");
      return;
    }
  }
}

std::string describe_read_error(const FreeFormReader& reader, ReadStatus status) {
  const std::string line = std::to_string(reader.error_line);
  const std::string unit = std::to_string(reader.unit);
  switch (status) {
    case ReadStatus::negative_count:
      return "negative " + reader.error_detail + " in file " + reader.path + ", unit " + unit + ", line " + line;
    case ReadStatus::end_of_file:
      return "end-of-file during read, unit " + unit + ", file " + reader.path + ", line " + line + ": " +
             end_of_file_detail(reader);
    case ReadStatus::syntax_error:
      return "unsupported input, unit " + unit + ", file " + reader.path + ", line " + line + ": " +
             reader.error_detail;
    case ReadStatus::conversion_error:
    case ReadStatus::ok:
      break;
  }
  return "input conversion error, unit " + unit + ", file " + reader.path + ", line " + line + ": " +
         reader.error_detail;
}

}  // namespace textio
