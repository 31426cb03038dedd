// Ends the run after a serious library error: the message stays on standard output, one line on standard error.
#include "quadrature/internal/stop_run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "textio/diagnostics.h"

namespace quadrature {

// The library's message is already on standard output; flushing it is the last chance to
// learn that it was lost (a full disk, a closed pipe), which must not pass as a stop.
void stop_run() {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    const int code = errno != 0 ? errno : EIO;
    textio::report(std::string("cannot write to standard output: ") + std::strerror(code));
    std::exit(textio::exit_io_failure);
  }
  textio::report("the quadrature library stopped the run; its message is on standard output");
  std::exit(textio::exit_stopped);
}

}  // namespace quadrature
