// Console printing of the pending error message.
#pragma once

namespace quadrature {

// Prints the pending message of the current level as a block of lines on the
// error-message unit (a traceback follows when the level is above 2), then clears
// the message and the value store. Prints nothing when no message is pending.
void E1SHOW();

}  // namespace quadrature
