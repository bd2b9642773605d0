#include "calendars/color.h"

#include <cstdio>

namespace velkor {

int channel(double component) {
  const double m = component >= 0 ? component : 0;  // NaN fails the test and becomes 0 too
  // Rounding the product to a double before adding keeps compilers from fusing the two steps
  // into one multiply-add, which rounds once and can land on the other side of a half.
  const volatile double product = m * 255.0;
  double v = product + 0.5;
  if (!(component < 1.0)) v = 255.5;  // 1 and above, +infinity and NaN
  return static_cast<int>(v);
}

std::optional<std::string> hex(const std::optional<SrgbComponents>& color) {
  if (!color || color->size() < 3) return std::nullopt;
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(channel((*color)[0])),
                static_cast<unsigned>(channel((*color)[1])),
                static_cast<unsigned>(channel((*color)[2])));
  return std::string(text);
}

}  // namespace velkor
