#include "store/text_order.h"

#include <algorithm>

namespace velkor {
namespace {

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

// ASCII text is its own NFC form, and most identifiers and titles are ASCII: skip the platform.
std::string textKey(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  return normalizeNfc(utf8);
}

// std::string compares bytes as unsigned char, and the UTF-8 byte order of two texts is the order
// of their scalar values, so comparing keys is comparing NFC forms scalar by scalar.
bool textEqual(std::string_view a, std::string_view b) {
  if (isAscii(a) && isAscii(b)) return a == b;
  return textKey(a) == textKey(b);
}

bool textLess(std::string_view a, std::string_view b) {
  if (isAscii(a) && isAscii(b)) return a < b;
  return textKey(a) < textKey(b);
}

}  // namespace velkor
