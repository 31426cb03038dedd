// Printing of the pending error message to the context's text.
#pragma once

namespace quadrature {

struct Context;

// Prints the pending message of the current level as a block of lines on the
// error-message unit, i.e. appends it to ctx.printed (a traceback follows when the
// level is above 2), then clears the message and the value store. Prints nothing
// when no message is pending.
void E1SHOW(Context& ctx);

}  // namespace quadrature
