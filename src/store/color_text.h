// Colours written as text by the stores that keep them so (a vdir `color` file, a calendar's
// X-APPLE-CALENDAR-COLOR, EDS's and Thunderbird's settings).
#pragma once

#include <optional>
#include <string_view>

#include "store/store.h"

namespace velkor {

// "#RRGGBB" or "#RRGGBBAA" between blanks; anything else is no colour.
std::optional<SrgbComponents> parseColor(std::string_view text);

// The kind of a CalDAV account: iCloud's servers are told apart by their host.
AccountKind calDavKind(std::string_view host);

}  // namespace velkor
