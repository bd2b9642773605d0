#include "store/identifier.h"

#include <cstdint>

#include "base/utf8.h"

namespace velkor {

void appendIdentifierPart(std::string& out, std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto escape = [&](std::uint8_t b) {
    out.push_back('%');
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0xF]);
  };
  std::size_t i = 0;
  while (i < name.size()) {
    const int n = utf8SequenceLength(name.substr(i));
    if (n <= 0 || name[i] == '%' || name[i] == ',') {
      escape(static_cast<std::uint8_t>(name[i]));
      ++i;
    } else {
      out.append(name.substr(i, static_cast<std::size_t>(n)));
      i += static_cast<std::size_t>(n);
    }
  }
}

std::string identifierPart(std::string_view name) {
  std::string out;
  appendIdentifierPart(out, name);
  return out;
}

}  // namespace velkor
