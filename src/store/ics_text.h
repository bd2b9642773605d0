// ASCII case rules of iCalendar names (BEGIN, DTSTART, ...), shared by the byte scanners.
#pragma once

#include <cstddef>
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

}  // namespace velkor
