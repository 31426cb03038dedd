// Value store for message placeholders: integer, double and text values with their capacity rule.
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "quadrature/internal/error_state.h"
#include "quadrature/internal/decimal_text.h"
#include "quadrature/internal/error_state_data.h"

namespace quadrature {

namespace {

// Number of decimal digits of a text length (the length is written into the entry's tag).
int length_digits(std::size_t n) { return n < 10 ? 1 : (n < 100 ? 2 : 3); }

// Stores TEXT under LETTER and |INDEX| when the index is 1..9 and the store has room:
// the used charge (1 when empty) plus PASSED_LENGTH plus 8 must not exceed 300.
// An entry is charged 4 (tag) + digits of its length + 1 (separator) + its length.
void store_value(Context& ctx, char letter, int INDEX, std::string_view text, std::size_t passed_length) {
  ErrorState& s = ctx.errors;
  const int index = INDEX < 0 ? -INDEX : INDEX;
  if (index < 1 || index > 9) return;
  const std::size_t used = s.value_count == 0 ? 1 : static_cast<std::size_t>(s.value_charge);
  if (used + passed_length + 8 > value_store_capacity) return;  // full: dropped silently
  if (s.value_count == max_stored_values) return;
  StoredValue& v = s.values[s.value_count++];
  v.letter = letter;
  v.index = index;
  v.offset = s.value_text_used;
  v.length = static_cast<int>(text.size());
  std::memcpy(s.value_text + s.value_text_used, text.data(), text.size());
  s.value_text_used += v.length;
  s.value_charge += 4 + length_digits(text.size()) + 1 + v.length;
}

}  // namespace

// Integer in decimal, minus sign when negative, no blanks.
void E1VALI(Context& ctx, int INDEX, int IVALUE) {
  const std::string text = decimal_text(IVALUE);
  store_value(ctx, 'I', INDEX, text, text.size());
}

// Double with 15 decimals and exponent letter D: one non-zero digit before the point
// (1.000000000000000D-10, -5.000000000000000D-01, 1.000000000000000D+300), at least two
// exponent digits, zero as 0.000000000000000D+00 (with its sign), NaN as "NaN" and
// infinities as "Infinity" / "-Infinity". Independent of the locale.
void E1VALD(Context& ctx, int INDEX, double DVALUE) {
  char buf[40];
  std::string_view text;
  if (std::isnan(DVALUE)) {
    text = "NaN";
  } else if (std::isinf(DVALUE)) {
    text = DVALUE > 0 ? "Infinity" : "-Infinity";
  } else {
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, DVALUE, std::chars_format::scientific, 15);
    char* const end = r.ptr;
    for (char* p = buf; p != end; ++p) {
      if (*p == 'e') *p = 'D';
    }
    text = std::string_view(buf, static_cast<std::size_t>(end - buf));
  }
  store_value(ctx, 'D', INDEX, text, text.size());
}

// STRING (first 255 characters) without trailing blanks, one blank when it is all
// blank; a negative INDEX keeps the trailing blanks.
void E1VALL(Context& ctx, int INDEX, std::string_view STRING) {
  std::string_view text = STRING.substr(0, 255);
  if (INDEX > 0) text = trim_trailing_blanks(text);
  if (text.empty()) text = " ";
  store_value(ctx, 'L', INDEX, text, STRING.size());
}

}  // namespace quadrature
