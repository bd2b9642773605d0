// The local wall-clock minute of an instant as one number: the answer is ordered by it, and a
// store that cuts its answer must cut by the same order.
#pragma once

#include <cstdint>

#include "store/instant.h"

namespace velkor {

// The reading of `instant` in the process's current time zone (TZ or the system zone, looked up
// on every call), to the minute (seconds dropped toward the past), as one number whose order is
// that of (year, month, day, hour, minute); 0 when the instant has no local reading.
std::uint64_t localMinute(Instant instant);

// The parts of a nonzero local minute.
std::int64_t yearOfMinute(std::uint64_t minute);
inline unsigned monthOfMinute(std::uint64_t minute) { return minute >> 16 & 0xF; }
inline unsigned dayOfMinute(std::uint64_t minute) { return minute >> 11 & 0x1F; }
inline unsigned hourOfMinute(std::uint64_t minute) { return minute >> 6 & 0x1F; }
inline unsigned minuteOfMinute(std::uint64_t minute) { return minute & 0x3F; }

}  // namespace velkor
