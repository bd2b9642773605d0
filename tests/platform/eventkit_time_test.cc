// The platform's date values (seconds since 2001 in a double) to instants and back.
#include "platform/eventkit_time.h"

#include <gtest/gtest.h>

#include <limits>

namespace velkor {
namespace {

using namespace std::chrono;

// Instants written as civil UTC dates, independently of the conversion's own constant.
constexpr Instant at(year_month_day day, milliseconds sinceMidnight = milliseconds{0}) {
  return Instant{sys_days{day}.time_since_epoch()} + sinceMidnight;
}

constexpr Instant kReference = at(2001y / January / 1);

TEST(InstantFromReferenceSeconds, ConvertsToTheMillisecondAtOrBeforeTheDate) {
  const std::pair<double, Instant> cases[] = {
      {-0.0, kReference},
      {-978307200.0, at(1970y / January / 1)},
      {-86400.0, at(2000y / December / 31)},
      // 0.0625 s is exactly 62.5 ms: towards the past on both sides.
      {0.0625, kReference + 62ms},
      {-0.0625, kReference - 63ms},
      {0.0004, kReference},
      {-0.0006, kReference - 1ms},
      {-0.9996, kReference - 1000ms},
      // The double nearest 0.009 lies just below 9 ms, though times 1000 it rounds to 9.0.
      {0.009, kReference + 8ms},
      // 59.9996 s into 09:30 stays in 09:30.
      {818'328'659.9996, at(2026y / December / 7, 9h + 30min + 59s + 999ms)},
      {818'328'600.123, at(2026y / December / 7, 9h + 30min + 123ms)},
      {-1'609'459'200.5, at(1950y / January / 1, -500ms)},
      {63'113'904'000.0, at(4001y / January / 1)},
  };
  for (const auto& [seconds, instant] : cases) {
    EXPECT_EQ(instantFromReferenceSeconds(seconds), instant) << "seconds " << seconds;
  }
  // Exact binary fractions fall alike on either side of 1970 and of 2001.
  for (double fraction : {0.0625, 0.1875, 0.5, 0.9375, 0.0078125}) {
    for (double whole : {-2e9, -978307200.0, -1.0, 3e9}) {
      EXPECT_EQ(instantFromReferenceSeconds(whole + fraction) - instantFromReferenceSeconds(whole),
                instantFromReferenceSeconds(fraction) - kReference)
          << whole << " + " << fraction;
    }
  }
}

TEST(InstantFromReferenceSeconds, ClampsValuesBeyondAnyCalendarAndMapsNanToTheReferenceDate) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_GT(instantFromReferenceSeconds(inf), at(year{30000} / January / 1));
  EXPECT_LT(instantFromReferenceSeconds(-inf), at(year{-30000} / January / 1));
  EXPECT_EQ(instantFromReferenceSeconds(1e300), instantFromReferenceSeconds(inf));
  EXPECT_EQ(instantFromReferenceSeconds(-1e300), instantFromReferenceSeconds(-inf));
  EXPECT_EQ(instantFromReferenceSeconds(std::numeric_limits<double>::quiet_NaN()), kReference);
}

TEST(ReferenceSecondsFromInstant, CountsFromTheReferenceDateAndRoundTrips) {
  EXPECT_EQ(referenceSecondsFromInstant(kReference - 250ms), -0.25);
  EXPECT_EQ(referenceSecondsFromInstant(at(1969y / December / 31, 23h + 59min + 59s)),
            -978307201.0);
  for (Instant day : {kReference, at(1969y / December / 31), at(2038y / January / 19),
                      at(year{-50000} / March / 1), at(year{50000} / October / 31)}) {
    for (milliseconds offset : {0ms, 1ms, 9ms, 499ms, 500ms, 999ms, -1ms, -500ms}) {
      EXPECT_EQ(instantFromReferenceSeconds(referenceSecondsFromInstant(day + offset)),
                day + offset)
          << (day + offset).time_since_epoch().count();
    }
  }
}

}  // namespace
}  // namespace velkor
