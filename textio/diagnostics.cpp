// Console diagnostics shared by both programs.
#include "textio/diagnostics.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace textio {

namespace {

std::string program_name = "program";

// The C library gives strerror_r in one of two forms, chosen when it is compiled
// against; overloading on the result takes whichever is there. One returns the
// text, which may lie in `buffer` or elsewhere; the other fills `buffer` and
// returns 0, or an error for a number it does not know.
[[maybe_unused]] std::string strerror_r_text(const char* text, const char*, int) { return text; }
[[maybe_unused]] std::string strerror_r_text(int failed, const char* buffer, int error_number) {
  return failed == 0 ? std::string(buffer) : "Unknown error " + std::to_string(error_number);
}

}  // namespace

void set_program_name(std::string_view name) { program_name = name; }

void report(std::string_view message) {
  std::string line = program_name;
  line += ": ";
  line += message;
  line += '\n';
  std::fflush(stdout);  // keep console order: anything printed before stays before
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

std::string system_message(int error_number) {
  // strerror may share one buffer between threads; strerror_r writes into ours.
  char buffer[256] = "";
  return strerror_r_text(::strerror_r(error_number, buffer, sizeof buffer), buffer, error_number);
}

}  // namespace textio
