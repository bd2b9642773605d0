#pragma once

#include <optional>
#include <string>

#include "store/store.h"

namespace velkor {

// One sRGB component (any double, NaN and infinities included) as a channel 0..255.
int channel(double component);

// "#rrggbb" of a colour's first three sRGB components; nothing without a colour or with fewer
// than three components.
std::optional<std::string> hex(const std::optional<SrgbComponents>& color);

}  // namespace velkor
