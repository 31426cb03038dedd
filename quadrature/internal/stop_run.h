// Ends the run after a serious library error: the message stays on standard output, one line on standard error.
#pragma once

namespace quadrature {

// Flushes standard output, says on standard error that the library stopped the run and
// ends the process with the stopped status (a stopped run must never look like a
// successful one). When standard output cannot be written, says so instead and ends
// with the input/output failure status.
[[noreturn]] void stop_run();

}  // namespace quadrature
