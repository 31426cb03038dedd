// The error state of one context, shared by the stack, message and printing routines.
#pragma once

#include <string_view>

namespace quadrature {

struct Context;

inline constexpr int max_level = 50;              // deepest stack level
inline constexpr int name_length = 32;            // routine names are cut/padded to this
inline constexpr int message_capacity = 1024;     // longest pending message
inline constexpr int value_store_capacity = 300;  // characters charged to the value store
inline constexpr int max_stored_values = 50;      // every entry costs at least 7 characters

// Per error type 1..7 (index 0 unused): is its message printed, does it stop the run.
inline constexpr bool print_table[8] = {false, false, false, true, true, true, true, true};
inline constexpr bool stop_table[8] = {false, false, false, false, true, true, false, true};

// One placeholder value waiting for the next message.
struct StoredValue {
  char letter;  // placeholder letter, upper case
  int index;    // placeholder digit 1..9
  int offset;   // start of its text in ErrorState::value_text
  int length;   // length of its text
};

struct ErrorState {
  int level;                               // current stack level, 1 = the user
  char names[max_level + 2][name_length];  // routine name per level, blank-padded
  int name_lengths[max_level + 2];         // name length without trailing blanks
  int types[max_level + 2];                // error type per level, -1 = never set
  int codes[max_level + 2];                // error code per level, -1 = never set
  bool user[max_level + 2];                // routine at this level is user code
  char message[message_capacity];          // pending message text
  int message_length;                      // 0 = no pending message
  char value_text[value_store_capacity];   // texts of the stored values
  int value_text_used;                     // characters of value_text in use
  int value_charge;                        // capacity charged: tags, lengths, separators, texts
  StoredValue values[max_stored_values];   // stored values in the order given
  int value_count;                         // entries in values
  bool stop_mark[8];                       // pending-stop marks, used for types 6 and 7
};

// The state as it is first created: level 1 is the user (name USER, user code,
// type 0, code 0); the other levels have never been set.
constexpr ErrorState created_state() {
  ErrorState s{};
  s.level = 1;
  for (int l = 0; l <= max_level + 1; ++l) {
    for (int c = 0; c < name_length; ++c) s.names[l][c] = ' ';
    s.name_lengths[l] = 0;
    s.types[l] = -1;
    s.codes[l] = -1;
    s.user[l] = false;
  }
  const char user_name[] = "USER";
  for (int c = 0; c < 4; ++c) s.names[1][c] = user_name[c];
  s.name_lengths[1] = 4;
  s.types[1] = 0;
  s.codes[1] = 0;
  s.user[1] = true;
  return s;
}

// Forgets every stored placeholder value.
void clear_value_store(Context& ctx);

// The value stored for placeholder letter (upper case) and digit, or nullptr.
const StoredValue* find_value(const Context& ctx, char letter, int index);

// NAME without its trailing blanks.
std::string_view trim_trailing_blanks(std::string_view NAME);

}  // namespace quadrature
