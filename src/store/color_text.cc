#include "store/color_text.h"

namespace velkor {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<SrgbComponents> parseColor(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
  if ((text.size() != 7 && text.size() != 9) || text.front() != '#') return std::nullopt;
  SrgbComponents components;
  for (std::size_t i = 1; i < text.size(); i += 2) {
    const int high = hexDigit(text[i]);
    const int low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    components.push_back((high * 16 + low) / 255.0);
  }
  if (components.size() == 3) components.push_back(1.0);
  return components;
}

AccountKind calDavKind(std::string_view host) {
  constexpr std::string_view kICloud = "icloud.com";
  const bool icloud = host == kICloud || (host.size() > kICloud.size() && host.ends_with(kICloud) &&
                                          host[host.size() - kICloud.size() - 1] == '.');
  return icloud ? AccountKind::kICloud : AccountKind::kCalDav;
}

}  // namespace velkor
