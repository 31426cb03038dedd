// Storage of the program-wide error state and its creation with the user's own level.
#include "quadrature/internal/error_state_data.h"

namespace quadrature {

namespace {

// The state as it is first created: level 1 is the user (name USER, user code,
// type 0, code 0); the other levels have never been set.
constexpr ErrorState created_state() {
  ErrorState s{};
  s.level = 1;
  for (int l = 0; l <= max_level + 1; ++l) {
    for (int c = 0; c < name_length; ++c) s.names[l][c] = ' ';
    s.name_lengths[l] = 0;
    s.types[l] = -1;
    s.codes[l] = -1;
    s.user[l] = false;
  }
  const char user_name[] = "USER";
  for (int c = 0; c < 4; ++c) s.names[1][c] = user_name[c];
  s.name_lengths[1] = 4;
  s.types[1] = 0;
  s.codes[1] = 0;
  s.user[1] = true;
  return s;
}

}  // namespace

// Constant-initialised, so the state exists before any routine can use it.
constinit ErrorState the_error_state = created_state();

void clear_value_store() {
  the_error_state.value_count = 0;
  the_error_state.value_text_used = 0;
  the_error_state.value_charge = 0;
}

const StoredValue* find_value(char letter, int index) {
  const ErrorState& s = the_error_state;
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
