// Ends the run after a serious library error, with standard output flushed first.
#pragma once

namespace quadrature {

// Flushes standard output and ends the process with exit status 3 (a stopped run
// must never look like a successful one).
[[noreturn]] void stop_run();

}  // namespace quadrature
