// A check that holds in every build of a fuzz target: a failure stops at once so the engine records the input.
#pragma once

#define FUZZ_CHECK(condition)           \
  do {                                  \
    if (!(condition)) __builtin_trap(); \
  } while (0)
