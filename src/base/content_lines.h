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

  // The next logical line; its text stays valid until the next call. None at the end. Inline:
  // the byte scan reads every line of every file through it.
  std::optional<ContentLine> next() {
    if (pos_ >= text_.size()) return std::nullopt;
    const std::size_t begin = pos_;
    const std::size_t stop = physicalEnd(begin);
    std::string_view line = text_.substr(begin, stop - begin);
    if (line.back() == lineEnd_) line.remove_suffix(1);
    if (lineEnd_ == '\n' && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (stop < text_.size() && (text_[stop] == ' ' || text_[stop] == '\t')) {
      return joined(begin, line, stop);
    }
    pos_ = stop;
    return ContentLine{line, begin, stop};
  }

 private:
  // After the line end of the physical line at `from`.
  std::size_t physicalEnd(std::size_t from) const {
    const std::size_t end = text_.find(lineEnd_, from);
    return end == std::string_view::npos ? text_.size() : end + 1;
  }
  // A line continued on the lines from `stop` on, put together.
  ContentLine joined(std::size_t begin, std::string_view first, std::size_t stop);

  std::string_view text_;
  char lineEnd_;
  std::size_t pos_;
  std::string joined_;  // a folded line, put together
};

}  // namespace velkor
