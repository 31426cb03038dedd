// Recording an error at the current level and building its message from a template.
#include <cstring>

#include "quadrature/internal/error_state.h"
#include "quadrature/internal/error_state_data.h"
#include "quadrature/internal/message_printing.h"

namespace quadrature {

namespace {

constexpr std::string_view message_lead = ".  ";  // every built message starts with it

// Upper-case form of a placeholder letter, or 0 when C is not one of A C D I K L R S Z.
char placeholder_letter(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  switch (c) {
    case 'A':
    case 'C':
    case 'D':
    case 'I':
    case 'K':
    case 'L':
    case 'R':
    case 'S':
    case 'Z':
      return c;
    default:
      return 0;
  }
}

// Appends up to the room left in the pending message; returns false once it is full.
bool append(Context& ctx, std::string_view piece) {
  ErrorState& s = ctx.errors;
  const std::size_t room = static_cast<std::size_t>(message_capacity - s.message_length);
  const std::size_t n = piece.size() < room ? piece.size() : room;
  std::memcpy(s.message + s.message_length, piece.data(), n);
  s.message_length += static_cast<int>(n);
  return s.message_length < message_capacity;
}

// Rebuilds the pending message: ".  " then TEXT (its first 1024 characters) with every
// placeholder "%(Xn)" that has a stored value replaced by that value's text.
void build_message(Context& ctx, std::string_view TEXT) {
  ErrorState& s = ctx.errors;
  const std::string_view text = TEXT.substr(0, message_capacity);
  s.message_length = 0;
  append(ctx, message_lead);
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '%' && i + 4 < text.size() && text[i + 1] == '(' && text[i + 4] == ')' && text[i + 3] >= '1' &&
        text[i + 3] <= '9') {
      const char letter = placeholder_letter(text[i + 2]);
      const StoredValue* v = letter ? find_value(ctx, letter, text[i + 3] - '0') : nullptr;
      if (v != nullptr) {
        if (!append(ctx, std::string_view(s.value_text + v->offset, static_cast<std::size_t>(v->length)))) return;
        i += 5;
        continue;
      }
    }
    if (!append(ctx, text.substr(i, 1))) return;
    ++i;
  }
}

}  // namespace

// Records TYPE and CODE at the current level, rebuilds the pending message from TEXT
// (a blank or empty TEXT keeps it), prints it at once for types 5 to 7, and forgets
// the stored values. Type 0 or code 0 clears the pending message instead.
Flow E1MES(Context& ctx, int TYPE, int CODE, std::string_view TEXT) {
  ErrorState& s = ctx.errors;
  const int L = s.level;
  if (TYPE < -1 || TYPE > 7) {
    const std::string_view illegal = ".  Error from E1MES.  Illegal error type specified.";
    std::memcpy(s.message, illegal.data(), illegal.size());
    s.message_length = static_cast<int>(illegal.size());
    E1SHOW(ctx);
    return stop(ctx);
  }
  if (TYPE != -1) s.types[L] = TYPE;
  if (CODE >= 0) s.codes[L] = CODE;
  if (TYPE == 0 || CODE == 0) {
    s.message_length = 0;
    clear_value_store(ctx);
    return Flow::go_on;
  }
  if (!(TEXT.empty() || TEXT == " ")) build_message(ctx, TEXT);
  const int T = s.types[L];
  if (T == 6 || T == 7) s.stop_mark[T] = true;
  if (T >= 5 && T <= 7 && print_table[T]) E1SHOW(ctx);
  clear_value_store(ctx);
  return Flow::go_on;
}

}  // namespace quadrature
