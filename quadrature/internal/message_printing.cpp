// Line layout of an error message block and its traceback, printed to the context's text.
#include <cstring>
#include <string>
#include <string_view>

#include "quadrature/context.h"
#include "quadrature/internal/decimal_text.h"
#include "quadrature/internal/error_state_data.h"
#include "quadrature/internal/message_printing.h"

namespace quadrature {

namespace {

constexpr int first_line_limit = 59;  // header plus first-line text
constexpr int continuation_width = 64;

// Error type names as printed, 8 characters each; index 0 stands for any unknown type.
constexpr std::string_view type_names[8] = {"UNKNOWN ", "NOTE    ", "ALERT   ", "WARNING ",
                                            "FATAL   ", "TERMINAL", "WARNING ", "FATAL   "};

// Small line buffer printed in one piece.
struct Line {
  char text[256];
  int length = 0;

  void add(std::string_view piece) {
    const std::size_t room = sizeof text - 1 - static_cast<std::size_t>(length);
    const std::size_t n = piece.size() < room ? piece.size() : room;
    std::memcpy(text + length, piece.data(), n);
    length += static_cast<int>(n);
  }
  // VALUE in decimal, right-justified in WIDTH characters.
  void add_int(int value, int width = 0) { add(decimal_text(value, width)); }
  // Ends the line and prints it; the console is the only unit this library prints to.
  void emit(std::string& printed) {
    text[length++] = '\n';
    printed.append(text, static_cast<std::size_t>(length));
    length = 0;
  }
};

// Name as shown in messages: a lower-case first letter followed by an upper-case
// letter is shown in upper case. Writes into OUT (32 characters) and returns it.
std::string_view shown_name(const ErrorState& s, int level, char* out) {
  std::memcpy(out, s.names[level], name_length);
  if (out[0] >= 'a' && out[0] <= 'z' && out[1] >= 'A' && out[1] <= 'Z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return std::string_view(out, name_length);
}

// 1-based position of the first "%/" in M at or after FROM whose two characters end by
// LAST, or 0.
int find_break(std::string_view M, int from, int last) {
  for (int p = from; p + 1 <= last; ++p) {
    if (M[p - 1] == '%' && M[p] == '/') return p;
  }
  return 0;
}

// 1-based position of the last blank of M in LOW..HIGH, or 0.
int last_blank(std::string_view M, int low, int high) {
  for (int p = high; p >= low; --p) {
    if (M[p - 1] == ' ') return p;
  }
  return 0;
}

// M(from..to), 1-based and inclusive; empty when to < from.
std::string_view part(std::string_view M, int from, int to) {
  if (to < from) return {};
  return M.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1));
}

// Three heading lines and one row per level from L down to 1.
void print_traceback(Context& ctx, int L) {
  const ErrorState& s = ctx.errors;
  Line line;
  line.add("     Here is a traceback of subprogram calls in reverse order:");
  line.emit(ctx.printed);
  line.add("     Routine name                    Error type  Error code");
  line.emit(ctx.printed);
  line.add("     ------------                    ----------  ----------");
  line.emit(ctx.printed);
  for (int l = L; l >= 1; --l) {
    char name[name_length];
    line.add("     ");
    line.add(shown_name(s, l, name));
    line.add_int(s.types[l], 6);
    line.add("      ");
    line.add_int(s.codes[l], 6);
    if (l >= 2 && !s.user[l - 1]) line.add("    (Called internally)");
    line.emit(ctx.printed);
  }
}

}  // namespace

// Header " <code> from <name>", then the message broken into a first line (room
// 59 - header length) and continuation lines of at most 64 characters, breaking at
// "%/" or at blanks; a traceback follows when the reporting routine was itself
// called by a library routine (level above 2).
void E1SHOW(Context& ctx) {
  ErrorState& s = ctx.errors;
  const int n = s.message_length;
  if (n == 0) return;
  const int L = s.level;
  const int T = s.types[L];
  const int C = s.codes[L];
  const std::string_view M(s.message, static_cast<std::size_t>(n));

  Line header;
  header.add(" ");
  header.add_int(C);
  header.add(" from ");
  char name_buf[name_length];
  const std::string_view name = shown_name(s, L, name_buf);
  header.add(name.substr(0, name.find(' ')));
  const bool lead_added = !(n >= 3 && M.substr(0, 3) == ".  ");
  if (lead_added) header.add(".  ");
  const int room = first_line_limit - header.length - (lead_added ? 3 : 0);

  const int first_break = find_break(M, 1, n);
  int first_end;  // last position shown on the first line
  int next;       // where the rest of M starts
  if (first_break > 0 && first_break < room) {
    first_end = first_break - 1;
    next = first_break + 2;
  } else if (n <= room) {
    first_end = n;
    next = n + 1;
  } else {
    const int b = last_blank(M, 2, room);
    first_end = b > 0 ? b - 1 : room;
    next = b > 0 ? b + 1 : room + 1;
  }

  Line line;
  line.emit(ctx.printed);  // the block opens with an empty line
  line.add(" *** ");
  line.add(type_names[(T >= 1 && T <= 7) ? T : 0]);
  line.add(" ERROR");
  line.add(std::string_view(header.text, static_cast<std::size_t>(header.length)));
  line.add(part(M, 1, first_end));
  line.emit(ctx.printed);

  bool first_continuation = true;
  bool after_forced_break = false;
  int start = next;
  while (start <= n) {
    const bool may_skip = first_continuation ? first_break == 0 : !after_forced_break;
    const int from = (M[start - 1] == ' ' && may_skip) ? start + 1 : start;
    const int window_end = start + continuation_width - 1;
    std::string_view text;
    after_forced_break = false;
    const int q = find_break(M, from, window_end < n ? window_end : n);
    if (q > 0) {
      text = part(M, from, q - 1);
      start = q + 2;
      after_forced_break = true;
    } else if (n <= window_end) {
      text = part(M, from, n);
      start = n + 1;
    } else {
      // The blank that ends the line stays at its end, invisible.
      const int b = last_blank(M, from + 1, window_end);
      text = part(M, from, b > 0 ? b : window_end);
      start = (b > 0 ? b : window_end) + 1;
    }
    line.add(" ***          ");
    line.add(text);
    line.emit(ctx.printed);
    first_continuation = false;
  }

  s.message_length = 0;
  clear_value_store(ctx);
  if (L > 2) print_traceback(ctx, L);
}

}  // namespace quadrature
