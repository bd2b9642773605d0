#include "calendars/color.h"

namespace velkor {

int channel(double) { return 0; }  // TODO(issue 3)

std::optional<std::string> hex(const std::optional<SrgbComponents>&) { return std::nullopt; }

}  // namespace velkor
