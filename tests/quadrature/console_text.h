// What the quadrature tests share: the console text the library prints (traceback lines) and how a Flow is checked.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "quadrature/context.h"

// The traceback heading printed under a message reported above level 2.
inline const std::string traceback_heading =
    "     Here is a traceback of subprogram calls in reverse order:\n"
    "     Routine name                    Error type  Error code\n"
    "     ------------                    ----------  ----------\n";

// One traceback row: name in 32 characters, type and code in 6 each.
inline std::string traceback_row(const std::string& name, int type, int code, bool internal) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "     %-32s%6d      %6d%s\n", name.c_str(), type, code,
                internal ? "    (Called internally)" : "");
  return buf;
}

namespace quadrature {

// Names a Flow in test failures.
inline void PrintTo(Flow flow, std::ostream* os) { *os << (flow == Flow::go_on ? "go_on" : "stopped"); }

}  // namespace quadrature

// A library call that must not stop the run; the test ends here if it does.
#define GOES_ON(call) ASSERT_EQ((call), quadrature::Flow::go_on)
