// Day texts in and stamp texts out, in zones with odd offsets and clock changes around midnight.
#include "events/dates.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"

namespace velkor {
namespace {

using namespace std::chrono;

// An instant by its UTC reading, built independently of the code under test.
Instant utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return Instant(sys_days(year(y) / month(mo) / day(d)) + hours(h) + minutes(mi) + seconds(s) +
                 milliseconds(ms));
}

TEST(LocalDay, GivesTheFirstInstantOfTheLocalDayOrNothing) {
  const std::tuple<const char*, const char*, std::optional<Instant>> cases[] = {
      {"UTC", "2024-02-29", utc(2024, 2, 29)},
      {"UTC", "2000-02-29", utc(2000, 2, 29)},  // a leap century
      {"UTC", "0001-01-01", utc(1, 1, 1)},
      {"UTC", "00002024-03-07", utc(2024, 3, 7)},
      {"UTC", "999999-12-31", utc(1999, 12, 31) + days(146097) * 2495},  // 400-year cycles
      {"Europe/Berlin", "2024-03-31", utc(2024, 3, 30, 23)},             // 23 hours long
      {"Europe/Berlin", "2024-10-28", utc(2024, 10, 27, 23)},            // after 25 hours
      {"Europe/Berlin", "1893-04-01", utc(1893, 3, 31, 23, 6, 32)},      // local mean time before
      {"Asia/Kathmandu", "2024-03-07", utc(2024, 3, 6, 18, 15)},
      {"Australia/Lord_Howe", "2024-04-08", utc(2024, 4, 7, 13, 30)},
      // The clock went from 23:59:59 to 01:00: the day begins at 01:00 local.
      {"America/Sao_Paulo", "2018-11-04", utc(2018, 11, 4, 3)},
      // Samoa skipped 2011-12-30 altogether.
      {"Pacific/Apia", "2011-12-30", std::nullopt},
      {"Pacific/Apia", "2011-12-31", utc(2011, 12, 30, 10)},
  };
  for (const auto& [zone, text, begins] : cases) {
    testing::ScopedEnv scoped("TZ", zone);
    EXPECT_EQ(localDay(text), begins) << zone << " " << text;
  }
  testing::ScopedEnv scoped("TZ", "UTC");
  for (const char* text :
       {"", "2024-3-07", "024-03-07", " 2024-03-07", "2024-03-07x", "2024/03/07", "+2024-03-07",
        "\xef\xbc\x92\xef\xbc\x90\xef\xbc\x92\xef\xbc\x94-03-07", "2023-02-29", "1900-02-29",
        "2100-02-29", "2024-04-31", "2024-13-01", "2024-00-10", "2024-01-00", "0000-01-01",
        "1000000-01-01", "99999999999999999999999-01-01"}) {
    EXPECT_FALSE(localDay(text).has_value()) << '"' << text << '"';
  }
}

TEST(LocalStamp, WritesTheLocalMinuteDroppingSecondsTowardThePast) {
  const std::tuple<const char*, Instant, const char*> cases[] = {
      {"UTC", utc(1970, 1, 1, 0, 0, 0, -1), "1969-12-31T23:59"},
      {"UTC", utc(999, 1, 1), "0999-01-01T00:00"},
      {"UTC", utc(12345, 6, 1, 12), "12345-06-01T12:00"},
      {"Europe/Berlin", utc(2024, 3, 7, 8, 5, 59, 999), "2024-03-07T09:05"},
      {"Europe/Berlin", utc(2024, 10, 27, 0, 30), "2024-10-27T02:30"},  // the hour that repeats
      {"Europe/Berlin", utc(2024, 10, 27, 1, 30), "2024-10-27T02:30"},
      {"Australia/Lord_Howe", utc(2024, 10, 5, 15, 29, 59), "2024-10-06T01:59"},
      {"Australia/Lord_Howe", utc(2024, 10, 5, 15, 30), "2024-10-06T02:30"},
      {"Pacific/Apia", utc(2011, 12, 30, 9, 59, 59), "2011-12-29T23:59"},
      {"Pacific/Apia", utc(2011, 12, 30, 10), "2011-12-31T00:00"},
  };
  for (const auto& [zone, instant, text] : cases) {
    testing::ScopedEnv scoped("TZ", zone);
    EXPECT_EQ(localStamp(instant), text) << zone;
  }
}

}  // namespace
}  // namespace velkor
