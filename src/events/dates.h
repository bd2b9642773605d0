// Day texts ("yyyy-MM-dd") in and stamp texts ("yyyy-MM-dd'T'HH:mm") out, in the process's current
// time zone (TZ or the system zone, looked up on every call).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/instant.h"
#include "store/local_minute.h"

namespace velkor {

// The first instant of the named local day; nothing when the text is not a day text or the day
// does not exist in the current zone.
std::optional<Instant> localDay(std::string_view text);

// The local wall-clock reading of `instant`, to the minute (seconds dropped toward the past).
std::string localStamp(Instant instant);

// The stamp text of a local minute into `out` (its buffer reused across a long answer):
// localStamp(t) is the text of localMinute(t).
void localStamp(std::uint64_t minute, std::string& out);

}  // namespace velkor
