#include "store/text_order.h"

namespace velkor {

std::string normalizeNfc(std::string_view utf8) { return std::string(utf8); }  // TODO(issue 3)

}  // namespace velkor
