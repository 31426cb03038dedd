// Program-wide error-state stack of the quadrature library: push, pop, record and query errors.
#pragma once

#include <string_view>

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
void E1PSH(std::string_view NAME);

// Leaves library routine NAME: passes its error to the caller, prints and stops as the
// error type demands, then pops it.
void E1POP(std::string_view NAME);

// Records an error of TYPE and CODE at the current level and builds the pending
// message from TEXT, filling %(Xn) placeholders from the value store.
void E1MES(int TYPE, int CODE, std::string_view TEXT);

// Stores an integer for placeholder %(In), n = INDEX in 1..9.
void E1VALI(int INDEX, int IVALUE);

// Stores a double for placeholder %(Dn), written as 1.000000000000000D-10.
void E1VALD(int INDEX, double DVALUE);

// Stores a text for placeholder %(Ln); INDEX -1..-9 keeps its trailing blanks.
void E1VALL(int INDEX, std::string_view STRING);

// Marks ("ON"/"on") or unmarks ("OFF"/"off") the current level as user code.
void E1USR(std::string_view SWITCH);

// Error type of the current level (IOPT = 0) or of the routine last popped from it (IOPT = 1).
int N1RTY(int IOPT);

}  // namespace quadrature
