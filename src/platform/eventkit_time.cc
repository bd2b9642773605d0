#include "platform/eventkit_time.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace velkor {
namespace {

// Far beyond any date a calendar holds, and far enough from the limits of int64 milliseconds
// that adding the reference date cannot overflow.
constexpr double kLimitSeconds = 9.0e15;

}  // namespace

Instant instantFromReferenceSeconds(double seconds) {
  if (std::isnan(seconds)) return kReferenceDate;
  if (seconds > kLimitSeconds) seconds = kLimitSeconds;
  if (seconds < -kLimitSeconds) seconds = -kLimitSeconds;
  double millis = std::floor(seconds * 1000.0);
  // The product may have rounded up onto a millisecond that the date itself does not reach;
  // the fused multiply-add gives the sign of the exact difference.
  if (std::fma(seconds, 1000.0, -millis) < 0.0) millis -= 1.0;
  const auto total = static_cast<std::int64_t>(millis);
  return kReferenceDate + std::chrono::milliseconds{total};
}

double referenceSecondsFromInstant(Instant instant) {
  const auto millis = static_cast<double>((instant - kReferenceDate).count());
  double seconds = millis / 1000.0;
  // The first date at or after the instant, so that the conversion back, which goes towards the
  // past, gives the same instant.
  if (std::fma(seconds, 1000.0, -millis) < 0.0) {
    seconds = std::nextafter(seconds, std::numeric_limits<double>::infinity());
  }
  return seconds;
}

}  // namespace velkor
