// Push, pop and query of the error-state stack, with deferred printing and stopping at the pop.
#include <cassert>
#include <cstring>

#include "quadrature/internal/error_state.h"
#include "quadrature/internal/error_state_data.h"
#include "quadrature/internal/message_printing.h"

namespace quadrature {

namespace {

// Replaces the pending message with TEXT (already in its printed form).
void set_message(Context& ctx, std::string_view text) {
  ErrorState& s = ctx.errors;
  const std::size_t n = text.size() < message_capacity ? text.size() : message_capacity;
  std::memcpy(s.message, text.data(), n);
  s.message_length = static_cast<int>(n);
}

}  // namespace

// Pushes NAME with type and code 0; the level's user flag keeps its old value.
Flow E1PSH(Context& ctx, std::string_view NAME) {
  assert(!ctx.stopped);
  ErrorState& s = ctx.errors;
  if (s.level < max_level) {
    const int l = ++s.level;
    const std::size_t n = NAME.size() < name_length ? NAME.size() : name_length;
    std::memcpy(s.names[l], NAME.data(), n);
    std::memset(s.names[l] + n, ' ', name_length - n);
    s.name_lengths[l] = static_cast<int>(trim_trailing_blanks(NAME.substr(0, n)).size());
    s.types[l] = 0;
    s.codes[l] = 0;
    return Flow::go_on;
  }
  E1VALI(ctx, 1, max_level);
  if (E1MES(ctx, TERMINAL, 1, "Error condition in E1PSH.  Push would cause stack level to exceed %(I1). ") ==
      Flow::stopped)
    return Flow::stopped;
  return stop(ctx);
}

// Pops NAME after handing its error to the caller; prints the pending message and
// stops the run, before the pop, when the error type and the caller (user code or not) call for it.
Flow E1POP(Context& ctx, std::string_view NAME) {
  assert(!ctx.stopped);
  ErrorState& s = ctx.errors;
  if (s.level <= 1) {
    if (E1PSH(ctx, "E1POP") == Flow::stopped) return Flow::stopped;
    E1VALL(ctx, 1, NAME);
    if (E1MES(ctx, TERMINAL, 1, "Error condition in E1POP.  Cannot pop from %(L1) because stack is empty.") ==
        Flow::stopped)
      return Flow::stopped;
    return stop(ctx);
  }
  const int L = s.level;
  assert(L >= 2 && L <= max_level);
  const std::string_view top(s.names[L], static_cast<std::size_t>(s.name_lengths[L]));
  // Compared as stored: cut to 32 characters, trailing blanks ignored.
  if (trim_trailing_blanks(NAME.substr(0, name_length)) != top) {
    E1VALL(ctx, 1, NAME);
    E1VALL(ctx, 2, std::string_view(s.names[L], name_length));
    if (E1MES(ctx, TERMINAL, 2, "Error condition in E1POP.  %(L1) does not match the name %(L2) in the stack.") ==
        Flow::stopped)
      return Flow::stopped;
    return stop(ctx);
  }
  const int T = s.types[L];
  if (T != 0) {
    if (T >= 2 && T <= 7) {  // a NOTE stays with the routine that recorded it
      s.types[L - 1] = T;
      s.codes[L - 1] = s.codes[L];
    }
    const bool caller_is_user = s.user[L - 1];
    if (T <= 4) {
      if (T >= 1 && print_table[T] && caller_is_user) E1SHOW(ctx);
      if (T >= 1 && stop_table[T] && caller_is_user) return stop(ctx);
    } else {
      if (T <= 7 && print_table[T]) E1SHOW(ctx);
      if (T == 5 && stop_table[5]) return stop(ctx);
      if ((T == 6 || T == 7) && caller_is_user) {
        bool stop_now = false;
        if (s.stop_mark[6]) stop_now = stop_table[6];
        if (s.stop_mark[7]) stop_now = stop_table[7];
        s.stop_mark[6] = false;
        s.stop_mark[7] = false;
        if (stop_now) return stop(ctx);
      }
    }
  }
  if (L < max_level) {
    s.types[L + 1] = -1;
    s.codes[L + 1] = -1;
  }
  s.level = L - 1;
  return Flow::go_on;
}

// Sets or clears the user flag of the current level; any other switch is a TERMINAL
// error of the calling routine, which stops the run at that routine's pop.
Flow E1USR(Context& ctx, std::string_view SWITCH) {
  const std::string_view sw = trim_trailing_blanks(SWITCH);
  if (sw == "ON" || sw == "on") {
    mark_user_code(ctx, true);
  } else if (sw == "OFF" || sw == "off") {
    mark_user_code(ctx, false);
  } else {
    E1VALL(ctx, 1, SWITCH);
    return E1MES(ctx, TERMINAL, 1,
                 "Invalid value for SWITCH in call to E1USR.  SWITCH must be set to 'ON' or "
                 "'OFF'.  SWITCH = '%(L1)' ");
  }
  return Flow::go_on;
}

// Type of the current level (IOPT 0) or of the level above it (IOPT 1); any other
// option prints a TERMINAL message and stops the run.
Flow N1RTY(Context& ctx, int IOPT, int& TYPE) {
  ErrorState& s = ctx.errors;
  assert(s.level >= 1 && s.level <= max_level);
  if (IOPT == 0) {
    TYPE = s.types[s.level];
    return Flow::go_on;
  }
  if (IOPT == 1) {
    TYPE = s.types[s.level + 1];  // level + 1 <= 51, which stays -1
    return Flow::go_on;
  }
  s.types[s.level] = TERMINAL;
  s.codes[s.level] = 1;
  set_message(ctx, ".  The argument passed to N1RTY must be 0 or 1.");
  E1SHOW(ctx);
  return stop(ctx);
}

}  // namespace quadrature
