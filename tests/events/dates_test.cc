// Day texts in and stamp texts out, in zones with odd offsets and clock changes around midnight.
#include "events/dates.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"

namespace velkor {
namespace {

using namespace std::chrono;
using testing::ScopedZone;

// An instant by its UTC reading, built independently of the code under test.
Instant utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return Instant(sys_days(year(y) / month(mo) / day(d)) + hours(h) + minutes(mi) + seconds(s) +
                 milliseconds(ms));
}

TEST(LocalDay, GivesTheFirstInstantOfTheLocalDay) {
  struct Case {
    const char* zone;
    const char* text;
    std::optional<Instant> begins;
  };
  const Case cases[] = {
      {"UTC", "2024-02-29", utc(2024, 2, 29)},
      {"UTC", "0001-01-01", utc(1, 1, 1)},
      {"UTC", "1969-12-31", utc(1969, 12, 31)},
      {"UTC", "00002024-03-07", utc(2024, 3, 7)},
      // 2024-03-31 lasts 23 hours, 2024-10-27 lasts 25.
      {"Europe/Berlin", "2024-03-31", utc(2024, 3, 30, 23)},
      {"Europe/Berlin", "2024-04-01", utc(2024, 3, 31, 22)},
      {"Europe/Berlin", "2024-10-28", utc(2024, 10, 27, 23)},
      // Local mean time, +0:53:28, until the clock jumped past midnight on 1893-04-01.
      {"Europe/Berlin", "1893-04-01", utc(1893, 3, 31, 23, 6, 32)},
      {"America/New_York", "2024-03-10", utc(2024, 3, 10, 5)},
      {"America/New_York", "2024-11-04", utc(2024, 11, 4, 5)},
      {"Asia/Kathmandu", "2024-03-07", utc(2024, 3, 6, 18, 15)},
      {"Australia/Lord_Howe", "2024-10-07", utc(2024, 10, 6, 13)},
      {"Australia/Lord_Howe", "2024-04-08", utc(2024, 4, 7, 13, 30)},
      // The clock went from 23:59:59 straight to 01:00: the day begins at 01:00 local.
      {"America/Sao_Paulo", "2018-11-04", utc(2018, 11, 4, 3)},
      {"America/Sao_Paulo", "2018-11-05", utc(2018, 11, 5, 2)},
      // Samoa skipped 2011-12-30 altogether.
      {"Pacific/Apia", "2011-12-29", utc(2011, 12, 29, 10)},
      {"Pacific/Apia", "2011-12-30", std::nullopt},
      {"Pacific/Apia", "2011-12-31", utc(2011, 12, 30, 10)},
  };
  for (const Case& c : cases) {
    ScopedZone zone(c.zone);
    EXPECT_EQ(localDay(c.text), c.begins) << c.zone << " " << c.text;
  }
}

TEST(LocalDay, RefusesTextsThatAreNotDayTextsAndReadsTheLargestYear) {
  ScopedZone zone("UTC");
  EXPECT_EQ(localStamp(localDay("999999-12-31").value_or(Instant{})), "999999-12-31T00:00");
  for (const char* text : {"",
                           "2024-3-07",
                           "2024-03-7",
                           "024-03-07",
                           " 2024-03-07",
                           "2024-03-07 ",
                           "2024-03-07x",
                           "2024/03/07",
                           "2024-0a-07",
                           "+2024-03-07",
                           "-2024-03-07",
                           "2024-03-",
                           "\xef\xbc\x92\xef\xbc\x90\xef\xbc\x92\xef\xbc\x94-03-07",
                           "2023-02-29",
                           "1900-02-29",
                           "2024-04-31",
                           "2024-13-01",
                           "2024-00-10",
                           "2024-01-00",
                           "2024-01-32",
                           "0000-01-01",
                           "1000000-01-01",
                           "99999999999999999999999-01-01"}) {
    EXPECT_FALSE(localDay(text).has_value()) << '"' << text << '"';
  }
}

TEST(LocalStamp, WritesTheLocalMinuteDroppingSecondsTowardThePast) {
  struct Case {
    const char* zone;
    Instant instant;
    const char* text;
  };
  const Case cases[] = {
      {"UTC", utc(1969, 12, 31, 23, 59, 30), "1969-12-31T23:59"},
      {"UTC", utc(1970, 1, 1, 0, 0, 0, -1), "1969-12-31T23:59"},
      {"UTC", utc(999, 1, 1), "0999-01-01T00:00"},
      {"UTC", utc(12345, 6, 1, 12), "12345-06-01T12:00"},
      {"Europe/Berlin", utc(2024, 3, 7, 8, 5, 59, 999), "2024-03-07T09:05"},
      // The hour that repeats: two instants an hour apart read the same.
      {"Europe/Berlin", utc(2024, 10, 27, 0, 30), "2024-10-27T02:30"},
      {"Europe/Berlin", utc(2024, 10, 27, 1, 30), "2024-10-27T02:30"},
      {"Asia/Kathmandu", utc(2024, 3, 6, 18, 14, 59), "2024-03-06T23:59"},
      {"Australia/Lord_Howe", utc(2024, 10, 5, 15, 29, 59), "2024-10-06T01:59"},
      {"Australia/Lord_Howe", utc(2024, 10, 5, 15, 30), "2024-10-06T02:30"},
      {"America/Sao_Paulo", utc(2018, 11, 4, 2, 59, 59), "2018-11-03T23:59"},
      {"America/Sao_Paulo", utc(2018, 11, 4, 3), "2018-11-04T01:00"},
      {"Pacific/Apia", utc(2011, 12, 30, 9, 59, 59), "2011-12-29T23:59"},
      {"Pacific/Apia", utc(2011, 12, 30, 10), "2011-12-31T00:00"},
  };
  for (const Case& c : cases) {
    ScopedZone zone(c.zone);
    EXPECT_EQ(localStamp(c.instant), c.text) << c.zone;
  }
}

}  // namespace
}  // namespace velkor
