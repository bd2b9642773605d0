#include "store/eventkit_time.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

namespace velkor {
namespace {

using namespace std::chrono;

// Instants written as civil UTC dates, independently of the conversion's own constant.
constexpr Instant at(year_month_day day, milliseconds sinceMidnight = milliseconds{0}) {
  return Instant{sys_days{day}.time_since_epoch()} + sinceMidnight;
}

constexpr Instant kReference = at(2001y / January / 1);

struct FromSecondsCase {
  double seconds;
  Instant expected;
};

TEST(InstantFromReferenceSeconds, ConvertsAndRoundsToTheNearestMillisecond) {
  const std::vector<FromSecondsCase> cases = {
      {0.0, kReference},
      {-0.0, kReference},
      {-978307200.0, at(1970y / January / 1)},
      {86400.0, at(2001y / January / 2)},
      {-86400.0, at(2000y / December / 31)},
      {0.25, kReference + 250ms},
      {-0.25, kReference - 250ms},
      // 0.0625 s is exactly 62.5 ms: halves go to the later instant on both sides.
      {0.0625, kReference + 63ms},
      {-0.0625, kReference - 62ms},
      {0.0004, kReference},
      {0.0006, kReference + 1ms},
      {-0.0004, kReference},
      {-0.0006, kReference - 1ms},
      {0.9996, kReference + 1000ms},
      {-0.9996, kReference - 1000ms},
      {1.5, kReference + 1500ms},
      {-1.5, kReference - 1500ms},
      // 2026-12-07T09:30:00.123Z, a date an event actually has.
      {818'328'600.123, at(2026y / December / 7, 9h + 30min + 123ms)},
      // Before 1970 and far from 2001.
      {-1'609'459'200.5, at(1950y / January / 1, -500ms)},
      {-63'113'904'000.0, at(1y / January / 1)},
      {63'113'904'000.0, at(4001y / January / 1)},
  };
  for (const FromSecondsCase& c : cases) {
    EXPECT_EQ(instantFromReferenceSeconds(c.seconds), c.expected) << "seconds " << c.seconds;
  }
}

TEST(InstantFromReferenceSeconds, RoundsHalvesTheSameWayOnEitherSideOfTheReferenceDate) {
  // Every fraction here is exact in binary, so each one is a true half or clearly not.
  const std::vector<double> fractions = {0.0625, 0.1875, 0.5, 0.3125, 0.9375, 0.0078125};
  const std::vector<double> wholeSeconds = {-2e9, -978307200.0, -1.0, 0.0, 1.0, 3e9};
  for (double fraction : fractions) {
    const milliseconds offset =
        instantFromReferenceSeconds(fraction) - instantFromReferenceSeconds(0.0);
    for (double whole : wholeSeconds) {
      const milliseconds shifted =
          instantFromReferenceSeconds(whole + fraction) - instantFromReferenceSeconds(whole);
      EXPECT_EQ(shifted, offset) << whole << " + " << fraction;
    }
  }
}

TEST(InstantFromReferenceSeconds, ClampsValuesBeyondAnyCalendarAndMapsNanToTheReferenceDate) {
  const double inf = std::numeric_limits<double>::infinity();
  const Instant late = instantFromReferenceSeconds(inf);
  const Instant early = instantFromReferenceSeconds(-inf);
  EXPECT_GT(late, at(year{30000} / January / 1));
  EXPECT_LT(early, at(year{-30000} / January / 1));
  EXPECT_EQ(instantFromReferenceSeconds(1e300), late);
  EXPECT_EQ(instantFromReferenceSeconds(-1e300), early);
  EXPECT_EQ(instantFromReferenceSeconds(std::numeric_limits<double>::quiet_NaN()), kReference);
}

struct ToSecondsCase {
  Instant instant;
  double expected;
};

TEST(ReferenceSecondsFromInstant, CountsSecondsFromTheReferenceDate) {
  const std::vector<ToSecondsCase> cases = {
      {kReference, 0.0},
      {at(1970y / January / 1), -978307200.0},
      {kReference + 500ms, 0.5},
      {kReference - 250ms, -0.25},
      {at(2026y / December / 7), 818'294'400.0},
      {at(1969y / December / 31, 23h + 59min + 59s), -978307201.0},
  };
  for (const ToSecondsCase& c : cases) {
    EXPECT_EQ(referenceSecondsFromInstant(c.instant), c.expected);
  }
}

TEST(ReferenceSecondsFromInstant, RoundTripsThroughInstantFromReferenceSeconds) {
  const std::vector<Instant> days = {
      kReference,
      at(1970y / January / 1),
      at(1969y / December / 31),
      at(2026y / December / 7),
      at(2038y / January / 19),
      at(1y / January / 1),
      at(year{-50000} / March / 1),
      at(year{50000} / October / 31),
  };
  const std::vector<milliseconds> offsets = {
      0ms, 1ms, 499ms, 500ms, 501ms, 999ms, -1ms, -500ms, 23h + 59min + 59s + 999ms};
  for (Instant day : days) {
    for (milliseconds offset : offsets) {
      const Instant instant = day + offset;
      EXPECT_EQ(instantFromReferenceSeconds(referenceSecondsFromInstant(instant)), instant)
          << instant.time_since_epoch().count();
    }
  }
}

}  // namespace
}  // namespace velkor
