// The lines of an iCalendar text (RFC 5545 3.1): physical lines end at a line end (LF, a CR before
// it dropped; or CR alone in a text written so); a line that starts with a blank or a tab continues
// the one before it, without that first character; a BOM at the start of the text is no content.
// Every reader of such text uses these rules: ContentLines for a text in memory, the three
// functions below for lines that arrive one at a time.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velkor {

inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Whether a physical line continues the logical line before it.
inline bool isContinuation(std::string_view physical) {
  return !physical.empty() && (physical.front() == ' ' || physical.front() == '\t');
}

// A physical line without its line end (`end`, and with LF a CR before it).
inline std::string_view withoutLineEnd(std::string_view raw, char end = '\n') {
  if (!raw.empty() && raw.back() == end) raw.remove_suffix(1);
  if (end == '\n' && !raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  return raw;
}

// The text without a leading byte order mark.
inline std::string_view withoutByteOrderMark(std::string_view text) {
  return text.starts_with(kByteOrderMark) ? text.substr(kByteOrderMark.size()) : text;
}

struct ContentLine {
  std::string_view text;  // unfolded, without line ends
  std::size_t begin = 0;  // its physical lines in the text, their line ends included
  std::size_t end = 0;
};

// The logical lines of a text in memory, one by one.
class ContentLines {
 public:
  explicit ContentLines(std::string_view text, char lineEnd = '\n');

  // The next logical line; its text stays valid until the next call. None at the end.
  std::optional<ContentLine> next();

 private:
  std::size_t physicalEnd(std::size_t from) const;  // after the line end of the line at `from`

  std::string_view text_;
  char lineEnd_;
  std::size_t pos_;
  std::string joined_;  // a folded line, put together
};

}  // namespace velkor
