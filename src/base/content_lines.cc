#include "base/content_lines.h"

namespace velkor {

ContentLines::ContentLines(std::string_view text, char lineEnd)
    : text_(text), lineEnd_(lineEnd), pos_(text.starts_with(kByteOrderMark) ? 3 : 0) {}

ContentLine ContentLines::joined(std::size_t begin, std::string_view first, std::size_t stop) {
  joined_.assign(first);
  while (stop < text_.size() && isContinuation(text_.substr(stop))) {
    const std::size_t after = physicalEnd(stop);
    joined_.append(withoutLineEnd(text_.substr(stop, after - stop), lineEnd_).substr(1));
    stop = after;
  }
  pos_ = stop;
  return ContentLine{joined_, begin, stop};
}

}  // namespace velkor
