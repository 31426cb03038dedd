// The error-state stack of a context: push, pop, record and query errors, and the stop of the run.
#pragma once

#include <string_view>

#include "quadrature/context.h"

namespace quadrature {

// Error types recorded with E1MES; 0 means no error, -1 keeps the level's type.
enum ErrorType : int {
  NOTE = 1,
  ALERT = 2,
  WARNING = 3,            // printed when control returns to user code
  FATAL = 4,              // printed and stops there
  TERMINAL = 5,           // printed at once, stops at the issuing routine's pop
  WARNING_IMMEDIATE = 6,  // printed at once
  FATAL_IMMEDIATE = 7,    // printed at once, stops when control returns to user code
};

// Enters library routine NAME: pushes it on the stack (stops the run beyond level 50).
Flow E1PSH(Context& ctx, std::string_view NAME);

// Leaves library routine NAME: passes its error to the caller, prints and stops as the
// error type demands, then pops it. A stop leaves NAME on the stack.
Flow E1POP(Context& ctx, std::string_view NAME);

// Records an error of TYPE and CODE at the current level and builds the pending
// message from TEXT, filling %(Xn) placeholders from the value store. Stops the run
// only for a TYPE outside -1..7.
Flow E1MES(Context& ctx, int TYPE, int CODE, std::string_view TEXT);

// Stores an integer for placeholder %(In), n = INDEX in 1..9.
void E1VALI(Context& ctx, int INDEX, int IVALUE);

// Stores a double for placeholder %(Dn), written as 1.000000000000000D-10.
void E1VALD(Context& ctx, int INDEX, double DVALUE);

// Stores a text for placeholder %(Ln); INDEX -1..-9 keeps its trailing blanks.
void E1VALL(Context& ctx, int INDEX, std::string_view STRING);

// Marks ("ON"/"on") or unmarks ("OFF"/"off") the current level as user code; any other
// switch records a TERMINAL error of the calling routine, which stops at its pop.
Flow E1USR(Context& ctx, std::string_view SWITCH);

// TYPE receives the error type of the current level (IOPT = 0) or of the routine last
// popped from it (IOPT = 1); any other option prints a TERMINAL message and stops the run.
Flow N1RTY(Context& ctx, int IOPT, int& TYPE);

// Sets or clears the user flag of the current level: what E1USR("ON") and
// E1USR("OFF") do, without the switch parsing (the rule does this 22 times per call).
inline void mark_user_code(Context& ctx, bool on) { ctx.errors.user[ctx.errors.level] = on; }

// Stops the run: marks the context stopped and returns the value every caller passes on.
inline Flow stop(Context& ctx) {
  ctx.stopped = true;
  return Flow::stopped;
}

}  // namespace quadrature
