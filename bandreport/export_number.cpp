// The numbers of a spreadsheet export: measurements, results below a detection limit, and limits.
#include "bandreport/export_number.h"

#include <charconv>
#include <cmath>
#include <string>

#include "bandreport/text_escape.h"

namespace bandreport {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The number in plain form (point, no plus sign) when `text` has the shape of one, else empty.
std::string plain_form(std::string_view text, bool decimal_comma) {
  std::string plain;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') plain += '-';
    ++i;
  }
  int digits = 0;
  for (; i < text.size() && is_digit(text[i]); ++i, ++digits) plain += text[i];
  if (i < text.size() && (text[i] == '.' || (decimal_comma && text[i] == ','))) {
    plain += '.';
    for (++i; i < text.size() && is_digit(text[i]); ++i, ++digits) plain += text[i];
  }
  if (digits == 0) return "";
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
    if (i == text.size() || !is_digit(text[i])) return "";
    for (; i < text.size() && is_digit(text[i]); ++i) plain += text[i];
  }
  return i == text.size() ? plain : "";
}

}  // namespace

std::optional<double> export_number(std::string_view text, bool decimal_comma) {
  const std::string plain = plain_form(trim(text), decimal_comma);
  if (plain.empty()) return std::nullopt;
  double value = 0.0;
  const auto [end, failure] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  // Out of range either way (1e999, 1e-999) is refused rather than turned into a number not written.
  if (failure != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<Entry> export_entry(std::string_view text, bool decimal_comma) {
  text = trim(text);
  if (text.empty()) return Entry{};
  if (text.front() != '<') {
    const std::optional<double> value = export_number(text, decimal_comma);
    if (!value) return std::nullopt;
    return Entry{*value, EntryKind::measured};
  }
  const std::optional<double> limit = export_number(text.substr(1), decimal_comma);
  if (!limit || !(*limit > 0.0)) return std::nullopt;
  return Entry{*limit, EntryKind::below_limit};
}

}  // namespace bandreport
