// Console text that the quadrature library prints, as the tests expect it: traceback lines and the stop line.
#pragma once

#include <cstdio>
#include <string>

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

// The line on standard error after the library stopped the run (the tests run without a program name).
inline const std::string stop_line =
    "program: the quadrature library stopped the run; its message is on standard output\n";
