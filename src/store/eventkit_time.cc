#include "store/eventkit_time.h"

#include <cmath>
#include <cstdint>

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
  // Whole seconds and the fraction separately: the subtraction is exact, and scaling only the
  // fraction keeps the rounding error far below a millisecond even for distant dates.
  const double whole = std::floor(seconds);
  const double fraction = (seconds - whole) * 1000.0;  // in [0, 1000]
  double millis = std::floor(fraction);
  if (fraction - millis >= 0.5) millis += 1.0;
  const auto total = static_cast<std::int64_t>(whole) * 1000 + static_cast<std::int64_t>(millis);
  return kReferenceDate + std::chrono::milliseconds{total};
}

double referenceSecondsFromInstant(Instant instant) {
  const std::int64_t millis = (instant - kReferenceDate).count();
  return static_cast<double>(millis) / 1000.0;
}

}  // namespace velkor
