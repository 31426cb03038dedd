// Console diagnostics shared by both programs: one line on standard error, prefixed with the program name.
#pragma once

#include <string>
#include <string_view>

namespace textio {

// Exit statuses of both programs.
constexpr int exit_ok = 0;          // normal run
constexpr int exit_io_failure = 2;  // input/output failure or rejected input
constexpr int exit_stopped = 3;     // the quadrature library stopped the run

// Sets the name that prefixes every diagnostic ("cardel", "vantor").
void set_program_name(std::string_view name);

// Writes "<program>: <message>" and a line end to standard error.
void report(std::string_view message);

// The system's text for the error number `error_number` ("No such file or
// directory"). Safe to call from several threads at once.
std::string system_message(int error_number);

}  // namespace textio
