// Conversions between the platform's date values (seconds since 2001-01-01T00:00:00Z, held in a
// double) and `Instant` (whole milliseconds since 1970-01-01T00:00:00Z).
#pragma once

#include <chrono>

#include "store/store.h"

namespace velkor {

// 2001-01-01T00:00:00Z, the platform's reference date, as an instant.
inline constexpr Instant kReferenceDate{std::chrono::milliseconds{978'307'200'000}};

// The instant `seconds` after the reference date, in whole milliseconds at or before it: a date
// is never moved into a later millisecond, so never into a later minute of its stamp text. Values
// beyond about ±285 million years are clamped; NaN gives the reference date.
Instant instantFromReferenceSeconds(double seconds);

// Seconds from the reference date to `instant`: the first double at or after it. Within about
// ±278,000 years of 2001 instantFromReferenceSeconds gives the same instant back.
double referenceSecondsFromInstant(Instant instant);

}  // namespace velkor
