// The value store's helpers and name trimming shared by the error-state routines.
#include "quadrature/internal/error_state_data.h"

#include "quadrature/context.h"

namespace quadrature {

void clear_value_store(Context& ctx) {
  ctx.errors.value_count = 0;
  ctx.errors.value_text_used = 0;
  ctx.errors.value_charge = 0;
}

const StoredValue* find_value(const Context& ctx, char letter, int index) {
  const ErrorState& s = ctx.errors;
  for (int k = 0; k < s.value_count; ++k) {
    if (s.values[k].letter == letter && s.values[k].index == index) return &s.values[k];
  }
  return nullptr;
}

std::string_view trim_trailing_blanks(std::string_view NAME) {
  std::size_t n = NAME.size();
  while (n > 0 && NAME[n - 1] == ' ') --n;
  return NAME.substr(0, n);
}

}  // namespace quadrature
