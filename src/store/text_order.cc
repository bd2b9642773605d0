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

}  // namespace velkor
