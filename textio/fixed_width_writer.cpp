// Fixed-width formatting of numbers into text fields of exact width.
#include "textio/fixed_width_writer.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace textio {

namespace {

// Right-justifies `text` in `width` characters at `out`, or fills the field
// with asterisks when it is too long.
void justify(char* out, std::string_view text, int width) {
  if (static_cast<int>(text.size()) > width) {
    std::memset(out, '*', width);
    return;
  }
  const int pad = width - static_cast<int>(text.size());
  std::memset(out, ' ', pad);
  std::memcpy(out + pad, text.data(), text.size());
}

// NaN, Infinity or -Infinity, shortened to Inf or -Inf where the field is narrower.
void justify_non_finite(char* out, double value, int width) {
  if (std::isnan(value)) {
    justify(out, "NaN", width);
  } else if (value > 0) {
    justify(out, width >= 8 ? "Infinity" : "Inf", width);
  } else {
    justify(out, width >= 9 ? "-Infinity" : "-Inf", width);
  }
}

// Splits the scientific form "d.ddd...e+XX" written by the converter into its
// exponent; the digits stay where they are.
int decimal_exponent(const char* begin, const char* end) {
  const char* e = static_cast<const char*>(std::memchr(begin, 'e', end - begin));
  assert(e != nullptr);
  int exponent = 0;
  std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
  return exponent;
}

}  // namespace

void format_fixed(char* out, double value, int width, int decimals) {
  if (!std::isfinite(value)) {
    justify_non_finite(out, value, width);
    return;
  }
  char digits[400];  // the largest double has 309 integer digits
  char* p = digits;
  if (std::signbit(value)) *p++ = '-';
  auto result = std::to_chars(p, digits + sizeof digits - 1, std::fabs(value), std::chars_format::fixed, decimals);
  char* end = result.ptr;
  if (decimals == 0) *end++ = '.';
  std::string_view text(digits, end - digits);
  // The 0 before the point is optional: drop it when the field is too narrow.
  if (static_cast<int>(text.size()) > width && p[0] == '0' && p[1] == '.') {
    std::memmove(p, p + 1, end - p - 1);
    text = std::string_view(digits, end - digits - 1);
  }
  justify(out, text, width);
}

void format_free_double(char* out, double value) {
  if (!std::isfinite(value)) {
    justify_non_finite(out, value, free_double_width);
    return;
  }
  const double magnitude = std::fabs(value);
  const bool negative = std::signbit(value);
  char text[40];
  char* p = text;
  if (negative) *p++ = '-';
  char sci[32];
  auto rounded = std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific, 14);
  const int exponent = decimal_exponent(sci, rounded.ptr);
  if (magnitude != 0.0 && exponent >= -1 && exponent <= 14) {
    // Fixed form: the same 15 significant digits with the point moved.
    const char* digit = sci;  // "d.dddddddddddddd"
    if (exponent == -1) {
      *p++ = '0';
      *p++ = '.';
      *p++ = *digit;
      for (int k = 2; k < 16; ++k) *p++ = sci[k];
    } else {
      *p++ = sci[0];
      for (int k = 1; k <= exponent; ++k) *p++ = sci[k + 1];
      *p++ = '.';
      for (int k = exponent + 1; k < 15; ++k) *p++ = sci[k + 1];
    }
    justify(out, std::string_view(text, p - text), 19);
    std::memset(out + 19, ' ', free_double_width - 19);
    return;
  }
  auto full = std::to_chars(sci, sci + sizeof sci, magnitude, std::chars_format::scientific, 15);
  const int e = decimal_exponent(sci, full.ptr);
  std::memcpy(p, sci, 17);  // "d.ddddddddddddddd"
  p += 17;
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%c%03d", e < 0 ? '-' : '+', e < 0 ? -e : e);
  std::memcpy(p, tail, 5);
  p += 5;
  justify(out, std::string_view(text, p - text), free_double_width);
}

void format_integer(char* out, long long value, int width) {
  char text[24];
  auto result = std::to_chars(text, text + sizeof text, value);
  justify(out, std::string_view(text, result.ptr - text), width);
}

std::string fixed_field(double value, int width, int decimals) {
  std::string field(width, ' ');
  format_fixed(field.data(), value, width, decimals);
  return field;
}

std::string free_double_field(double value) {
  std::string field(free_double_width, ' ');
  format_free_double(field.data(), value);
  return field;
}

std::string integer_field(long long value, int width) {
  std::string field(width, ' ');
  format_integer(field.data(), value, width);
  return field;
}

}  // namespace textio
