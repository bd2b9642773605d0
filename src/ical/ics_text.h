// Content-line helpers shared by the byte scanners and the header reader: the ASCII case rules of
// iCalendar names (BEGIN, DTSTART, ...), names, values and TEXT escapes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
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

// Whether `text` starts with `upperWord` (given in capitals), ignoring the case of ASCII letters.
inline bool startsWithUpper(std::string_view text, std::string_view upperWord) {
  return text.size() >= upperWord.size() &&
         equalsUpper(text.substr(0, upperWord.size()), upperWord);
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

// Whether the parameters of a content line (between its name and its value) name a RANGE.
inline bool hasRangeParameter(std::string_view line) {
  const auto value = valueOf(line);
  const std::string_view params =
      line.substr(0, value ? static_cast<std::size_t>(value->data() - line.data()) : line.size());
  for (std::size_t i = 0; i + 6 <= params.size(); ++i) {
    if (params[i] == ';' && equalsUpper(params.substr(i + 1, 5), "RANGE")) return true;
  }
  return false;
}

// RFC 5545 TEXT escapes undone; a backslash before anything else is kept as written.
inline std::string unescapeText(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
      continue;
    }
    const char next = raw[i + 1];
    if (next == 'n' || next == 'N') {
      out += '\n';
    } else if (next == '\\' || next == ';' || next == ',') {
      out += next;
    } else {
      out += raw[i];
      continue;
    }
    ++i;
  }
  return out;
}

}  // namespace velkor
