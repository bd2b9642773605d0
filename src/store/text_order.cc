#include "store/text_order.h"

namespace velkor {

std::string textKey(std::string_view utf8) { return normalizeNfc(utf8); }
bool textEqual(std::string_view a, std::string_view b) { return textKey(a) == textKey(b); }
bool textLess(std::string_view a, std::string_view b) { return textKey(a) < textKey(b); }

}  // namespace velkor
