#include "base/content_lines.h"

#include <algorithm>

namespace velkor {

ContentLines::ContentLines(std::string_view text, char lineEnd)
    : text_(text), lineEnd_(lineEnd), pos_(text.starts_with(kByteOrderMark) ? 3 : 0) {}

std::size_t ContentLines::physicalEnd(std::size_t from) const {
  return std::min(text_.find(lineEnd_, from), text_.size() - 1) + 1;
}

std::optional<ContentLine> ContentLines::next() {
  if (pos_ >= text_.size()) return std::nullopt;
  ContentLine line;
  line.begin = pos_;
  std::size_t stop = physicalEnd(pos_);
  line.text = withoutLineEnd(text_.substr(pos_, stop - pos_), lineEnd_);
  if (stop < text_.size() && isContinuation(text_.substr(stop))) {
    joined_.assign(line.text);
    while (stop < text_.size() && isContinuation(text_.substr(stop))) {
      const std::size_t after = physicalEnd(stop);
      joined_.append(withoutLineEnd(text_.substr(stop, after - stop), lineEnd_).substr(1));
      stop = after;
    }
    line.text = joined_;
  }
  line.end = pos_ = stop;
  return line;
}

}  // namespace velkor
