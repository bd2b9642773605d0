// ASCII case rules of iCalendar names (BEGIN, DTSTART, ...), shared by the byte scanners.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string_view>

namespace velkor {

inline char upperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether `text` is `upperWord` (given in capitals), ignoring the case of ASCII letters.
inline bool equalsUpper(std::string_view text, std::string_view upperWord) {
  if (text.size() != upperWord.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (upperAscii(text[i]) != upperWord[i]) return false;
  }
  return true;
}

// The name of a content line: everything before its first ';' or ':'.
inline std::string_view nameOf(std::string_view line) {
  std::size_t n = 0;  // a plain loop: find_first_of searches the two characters at every byte
  while (n < line.size() && line[n] != ';' && line[n] != ':') ++n;
  return line.substr(0, n);
}

// The value of a content line: what follows the first colon outside quoted parameter values.
inline std::optional<std::string_view> valueOf(std::string_view line) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) return line.substr(i + 1);
  }
  return std::nullopt;
}

}  // namespace velkor
