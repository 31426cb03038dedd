// Console diagnostics shared by both programs.
#include "textio/diagnostics.h"

#include <cstdio>
#include <string>

namespace textio {

namespace {
std::string program_name = "program";
}

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

}  // namespace textio
