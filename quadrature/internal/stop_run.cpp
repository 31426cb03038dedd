// Ends the run after a serious library error, with standard output flushed first.
#include "quadrature/internal/stop_run.h"

#include <cstdio>
#include <cstdlib>

namespace quadrature {

// Everything printed so far stays on the console; the status tells the caller
// that the run did not finish.
void stop_run() {
  std::fflush(stdout);
  std::exit(3);
}

}  // namespace quadrature
