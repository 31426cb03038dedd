// Folder names made from segment texts: safe on every common file system, and distinct even where case is ignored.
#include "bandreport/folder_name.h"

#include <cassert>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "bandreport/text_escape.h"

namespace bandreport {

namespace {

// Length of the UTF-8 sequence that `lead` starts, in text already known to be well formed.
std::size_t sequence_length(unsigned char lead) { return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4; }

char32_t decode(std::string_view text, std::size_t at, std::size_t length) {
  const auto byte = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(text[at + k])); };
  if (length == 1) return byte(0);
  char32_t c = byte(0) & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (byte(k) & 0x3F);
  return c;
}

void encode(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Characters that some common file system refuses in a name, or that would lead out of the folder.
bool refused(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) ||
         std::u32string_view(U"/\\<>:\"|?*").find(c) != std::u32string_view::npos;
}

bool dot_or_blank(char c) { return c == '.' || c == ' '; }

void strip_ends(std::string& name) {
  std::size_t first = 0;
  while (first < name.size() && dot_or_blank(name[first])) ++first;
  std::size_t last = name.size();
  while (last > first && dot_or_blank(name[last - 1])) --last;
  name = name.substr(first, last - first);
}

// Cuts `name` to at most `limit` bytes without splitting a character.
void cut(std::string& name, std::size_t limit) {
  if (name.size() <= limit) return;
  while (limit > 0 && (static_cast<unsigned char>(name[limit]) & 0xC0) == 0x80) --limit;
  name.resize(limit);
}

// The part of a name that names a device on some systems whatever its extension: up to the first dot, without
// the blanks before it.
std::size_t stem_length(std::string_view name) {
  std::size_t end = std::min(name.find('.'), name.size());
  while (end > 0 && name[end - 1] == ' ') --end;
  return end;
}

bool reserved_stem(std::string_view stem) {
  std::string lower;
  for (const char c : stem) lower += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
    if (lower == device) return true;
  if (lower.size() < 4 || (lower.compare(0, 3, "com") != 0 && lower.compare(0, 3, "lpt") != 0)) return false;
  const std::string_view number = std::string_view(lower).substr(3);
  // A digit, or a superscript one, two or three, which those systems take for the digit.
  return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\u00B9" || number == "\u00B2" ||
         number == "\u00B3";
}

char32_t lower_case(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  // Latin Extended-A: upper and lower case in pairs, the upper one first.
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c + (c & 1);
  if (c == 0x178) return 0xFF;
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek
  if (c == 0x3C2) return 0x3C3;                                 // final sigma
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

}  // namespace

std::string safe_folder_name(std::string_view text) {
  const std::string valid = valid_utf8(text);
  std::string name;
  for (std::size_t i = 0; i < valid.size();) {
    const std::size_t length = sequence_length(static_cast<unsigned char>(valid[i]));
    if (refused(decode(valid, i, length))) {
      name += '_';
    } else {
      name.append(valid, i, length);
    }
    i += length;
  }
  strip_ends(name);
  cut(name, folder_name_limit);
  strip_ends(name);
  const std::size_t stem = stem_length(name);
  if (reserved_stem(std::string_view(name).substr(0, stem))) {
    name.insert(stem, 1, '_');
    cut(name, folder_name_limit);
    strip_ends(name);
  }
  if (name.empty()) name = "_";
  assert(is_safe_folder_name(name));
  return name;
}

std::vector<std::string> folder_names(const std::vector<std::string>& texts, const std::vector<std::string>& taken) {
  std::unordered_set<std::string> used;
  for (const std::string& name : taken) used.insert(folded_case(name));
  std::unordered_map<std::string, unsigned long> next_suffix;  // by folded base name, so that many alike stay quick
  std::vector<std::string> names;
  names.reserve(texts.size());
  for (const std::string& text : texts) {
    const std::string base = safe_folder_name(text);
    std::string name = base;
    unsigned long& suffix = next_suffix.try_emplace(folded_case(base), 2).first->second;
    while (used.count(folded_case(name)) != 0) {
      // The suffix ends in a digit, so the name keeps no trailing dot; a stem cut short cannot become a device
      // name, since the suffix follows it directly.
      const std::string tail = "-" + std::to_string(suffix++);
      name = base;
      cut(name, folder_name_limit - tail.size());
      strip_ends(name);
      if (name.empty()) name = "_";
      name += tail;
    }
    assert(is_safe_folder_name(name));
    used.insert(folded_case(name));
    names.push_back(std::move(name));
  }
  return names;
}

bool is_safe_folder_name(std::string_view name) {
  if (name.empty() || name.size() > folder_name_limit || valid_utf8(name) != name) return false;
  if (dot_or_blank(name.front()) || dot_or_blank(name.back())) return false;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = sequence_length(static_cast<unsigned char>(name[i]));
    if (refused(decode(name, i, length))) return false;
    i += length;
  }
  return !reserved_stem(name.substr(0, stem_length(name)));
}

std::string folded_case(std::string_view name) {
  const std::string valid = valid_utf8(name);
  std::string folded;
  folded.reserve(valid.size());
  for (std::size_t i = 0; i < valid.size();) {
    const std::size_t length = sequence_length(static_cast<unsigned char>(valid[i]));
    encode(lower_case(decode(valid, i, length)), folded);
    i += length;
  }
  return folded;
}

}  // namespace bandreport
