// Record-oriented reading of free-form numbers from a text file.
#include "textio/free_form_reader.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace textio {

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool ends_field(char c) { return is_blank(c) || c == ',' || c == '/' || c == '\n'; }

// The field as it may be shown in a diagnostic: printable, and not too long.
std::string quote_field(const char* begin, const char* end) {
  std::string shown = "\"";
  for (const char* p = begin; p != end && shown.size() < 41; ++p) shown += (*p >= 0x20 && *p < 0x7f) ? *p : '?';
  if (end - begin > 40) shown += "...";
  return shown + "\"";
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

// Converts a field already known to have the real form; the value is the
// correctly rounded double. A magnitude beyond the largest double is refused;
// one below the smallest becomes a subnormal or zero.
bool convert_real(const char* begin, const char* end, double& value) {
  std::string normal(begin + (*begin == '+' ? 1 : 0), end);
  for (char& c : normal)
    if (c == 'D' || c == 'd') c = 'e';
  const char* first = normal.data();
  const char* last = first + normal.size();
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec == std::errc() && ptr == last) return true;
  if (ec != std::errc::result_out_of_range) return false;
  errno = 0;
  char* stop = nullptr;
  double v = std::strtod(first, &stop);
  if (stop != last || v == HUGE_VAL || v == -HUGE_VAL) return false;
  value = v;
  return true;
}

ReadStatus parse_real(FreeFormReader& reader, long line, const char* begin, const char* end, double& value) {
  if (!is_real_form(begin, end))
    return fail(reader, ReadStatus::conversion_error, line, quote_field(begin, end) + " is not a number");
  if (!convert_real(begin, end, value))
    return fail(reader, ReadStatus::conversion_error, line,
                quote_field(begin, end) + " is beyond the range of double precision");
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
  return fail(reader, ReadStatus::conversion_error, line, quote_field(begin, end) + " is not a number");
}

// One read operation of `count` fields, each handed to `take(i, begin, end, line)`.
template <typename Take>
ReadStatus read_fields(FreeFormReader& reader, std::size_t count, Take take) {
  if (count == 0) return ReadStatus::ok;  // a read of nothing consumes no line
  const char* const text = reader.text.data();
  const char* const end = text + reader.text.size();
  const char* p = text + reader.next;
  long line = reader.next_line;
  bool after_comma = true;  // a comma here would stand for a missing (null) value
  for (std::size_t i = 0; i < count; ++i) {
    for (;;) {
      if (p == end)
        return fail(reader, ReadStatus::end_of_file, line, "the file ends before this read has all its values");
      const char c = *p;
      if (c == '\n') {
        ++line;
        ++p;
      } else if (is_blank(c)) {
        ++p;
      } else if (c == ',') {
        if (after_comma)
          return fail(reader, ReadStatus::syntax_error, line,
                      "empty value between separators (null values are not accepted)");
        after_comma = true;
        ++p;
      } else if (c == '/') {
        return fail(reader, ReadStatus::syntax_error, line,
                    "a slash before all values are read (ending a read early is not accepted)");
      } else {
        break;
      }
    }
    const char* field = p;
    while (p != end && !ends_field(*p)) ++p;
    if (std::memchr(field, '*', p - field))
      return fail(reader, ReadStatus::syntax_error, line, quote_field(field, p) + ": repeat counts are not accepted");
    ReadStatus status = take(i, field, p, line);
    if (status != ReadStatus::ok) return status;
    after_comma = false;
  }
  // The rest of the line where the last value ends is ignored.
  const void* newline = std::memchr(p, '\n', end - p);
  reader.next = newline ? static_cast<const char*>(newline) - text + 1 : reader.text.size();
  reader.next_line = line + 1;
  return ReadStatus::ok;
}

}  // namespace

bool open_input(FreeFormReader& reader, const std::string& path, int unit, std::string& error) {
  reader = FreeFormReader{};
  reader.path = path;
  reader.unit = unit;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    error = std::strerror(EISDIR);
    return false;
  }
  char buffer[1 << 16];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = std::strerror(errno);
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

ReadStatus skip_reals(FreeFormReader& reader, std::size_t count) {
  return read_fields(reader, count, [&](std::size_t, const char* b, const char* e, long line) {
    double ignored;
    return parse_real(reader, line, b, e, ignored);
  });
}

std::size_t bytes_left(const FreeFormReader& reader) { return reader.text.size() - reader.next; }

bool can_hold(const FreeFormReader& reader, std::uint64_t values) { return values <= bytes_left(reader) / 2 + 1; }

std::string describe_read_error(const FreeFormReader& reader, ReadStatus status) {
  const char* body = "input conversion error";
  if (status == ReadStatus::end_of_file) body = "end-of-file during read";
  if (status == ReadStatus::syntax_error) body = "list-directed I/O syntax error";
  char head[160];
  std::snprintf(head, sizeof head, "%s, unit %d, file ", body, reader.unit);
  std::string message = head;
  message += reader.path;
  message += ", line " + std::to_string(reader.error_line);
  if (!reader.error_detail.empty()) message += ": " + reader.error_detail;
  return message;
}

}  // namespace textio
