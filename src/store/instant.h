// The one kind of time that crosses the seam.
#pragma once

#include <chrono>
#include <cstdint>

namespace velkor {

// An absolute point in time: milliseconds since 1970-01-01T00:00:00Z.
using Instant = std::chrono::sys_time<std::chrono::milliseconds>;

// The UTC day number (days since 1970-01-01) that `t` falls in.
inline std::int64_t utcDayOf(Instant t) {
  return std::chrono::floor<std::chrono::days>(t).time_since_epoch().count();
}

}  // namespace velkor
