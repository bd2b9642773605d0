#include "events/dates.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "events/scoped_zone.h"

namespace velkor {
namespace {

using namespace std::chrono;
using testing::ScopedZone;

// An instant given by its UTC reading, built independently of the code under test.
Instant utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return Instant(sys_days(year(y) / month(mo) / day(d)) + hours(h) + minutes(mi) + seconds(s) +
                 milliseconds(ms));
}

struct DayCase {
  const char* zone;
  const char* text;
  Instant begins;
};

class LocalDayTest : public ::testing::TestWithParam<DayCase> {};

TEST_P(LocalDayTest, GivesTheFirstInstantOfTheLocalDay) {
  const DayCase& c = GetParam();
  ScopedZone zone(c.zone);
  const std::optional<Instant> got = localDay(c.text);
  ASSERT_TRUE(got.has_value()) << c.zone << " " << c.text;
  EXPECT_EQ(got->time_since_epoch().count(), c.begins.time_since_epoch().count())
      << c.zone << " " << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Zones, LocalDayTest,
    ::testing::Values(
        DayCase{"UTC", "2024-03-07", utc(2024, 3, 7)},
        DayCase{"UTC", "2024-02-29", utc(2024, 2, 29)},
        DayCase{"UTC", "2000-02-29", utc(2000, 2, 29)}, DayCase{"UTC", "0001-01-01", utc(1, 1, 1)},
        DayCase{"UTC", "1969-12-31", utc(1969, 12, 31)},
        DayCase{"UTC", "10000-01-01", utc(10000, 1, 1)},
        DayCase{"UTC", "00002024-03-07", utc(2024, 3, 7)},
        DayCase{"Europe/Berlin", "2024-03-07", utc(2024, 3, 6, 23)},
        DayCase{"Europe/Berlin", "2024-02-29", utc(2024, 2, 28, 23)},
        // The clocks change after midnight: 2024-03-31 lasts 23 hours, 2024-10-27 lasts 25.
        DayCase{"Europe/Berlin", "2024-03-31", utc(2024, 3, 30, 23)},
        DayCase{"Europe/Berlin", "2024-04-01", utc(2024, 3, 31, 22)},
        DayCase{"Europe/Berlin", "2024-10-27", utc(2024, 10, 26, 22)},
        DayCase{"Europe/Berlin", "2024-10-28", utc(2024, 10, 27, 23)},
        // Local mean time, +0:53:28, until 1893-04-01, when the clock jumped past midnight.
        DayCase{"Europe/Berlin", "1890-01-01", utc(1889, 12, 31, 23, 6, 32)},
        DayCase{"Europe/Berlin", "1893-04-01", utc(1893, 3, 31, 23, 6, 32)},
        DayCase{"America/New_York", "2024-03-10", utc(2024, 3, 10, 5)},
        DayCase{"America/New_York", "2024-03-11", utc(2024, 3, 11, 4)},
        DayCase{"America/New_York", "2024-11-03", utc(2024, 11, 3, 4)},
        DayCase{"America/New_York", "2024-11-04", utc(2024, 11, 4, 5)},
        DayCase{"Asia/Kathmandu", "2024-03-07", utc(2024, 3, 6, 18, 15)},
        DayCase{"Australia/Lord_Howe", "2024-10-06", utc(2024, 10, 5, 13, 30)},
        DayCase{"Australia/Lord_Howe", "2024-10-07", utc(2024, 10, 6, 13)},
        DayCase{"Australia/Lord_Howe", "2024-04-07", utc(2024, 4, 6, 13)},
        DayCase{"Australia/Lord_Howe", "2024-04-08", utc(2024, 4, 7, 13, 30)},
        // The clock went from 23:59:59 straight to 01:00: the day begins at 01:00 local.
        DayCase{"America/Sao_Paulo", "2018-11-03", utc(2018, 11, 3, 3)},
        DayCase{"America/Sao_Paulo", "2018-11-04", utc(2018, 11, 4, 3)},
        DayCase{"America/Sao_Paulo", "2018-11-05", utc(2018, 11, 5, 2)},
        DayCase{"Pacific/Apia", "2011-12-29", utc(2011, 12, 29, 10)},
        DayCase{"Pacific/Apia", "2011-12-31", utc(2011, 12, 30, 10)}));

TEST(LocalDay, DayThatNeverHappenedLocallyGivesNothing) {
  ScopedZone zone("Pacific/Apia");
  EXPECT_FALSE(localDay("2011-12-30").has_value());
}

TEST(LocalDay, RefusesTextsThatAreNotDayTexts) {
  ScopedZone zone("UTC");
  for (const char* text : {"",
                           "2024-3-07",
                           "2024-03-7",
                           "24-03-07",
                           "024-03-07",
                           " 2024-03-07",
                           "2024-03-07 ",
                           "2024-03-07x",
                           "2024-03-07T00:00",
                           "2024/03/07",
                           "2024-0a-07",
                           "+2024-03-07",
                           "-2024-03-07",
                           "2024--03-07",
                           "2024-03-",
                           "\xef\xbc\x92\xef\xbc\x90\xef\xbc\x92\xef\xbc\x94-03-07",
                           "2023-02-29",
                           "1900-02-29",
                           "2024-02-30",
                           "2024-04-31",
                           "2024-06-31",
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

TEST(LocalDay, LargestYearIsRead) {
  ScopedZone zone("UTC");
  const std::optional<Instant> last = localDay("999999-12-31");
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(localStamp(*last), "999999-12-31T00:00");
}

TEST(LocalDay, ReadsTheZoneAgainOnEveryCall) {
  std::optional<Instant> berlin;
  std::optional<Instant> kathmandu;
  {
    ScopedZone zone("Europe/Berlin");
    berlin = localDay("2024-03-07");
  }
  {
    ScopedZone zone("Asia/Kathmandu");
    kathmandu = localDay("2024-03-07");
  }
  ASSERT_TRUE(berlin && kathmandu);
  EXPECT_EQ(*berlin - *kathmandu, hours(4) + minutes(45));
}

struct StampCase {
  const char* zone;
  Instant instant;
  const char* text;
};

class LocalStampTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(LocalStampTest, WritesTheLocalMinute) {
  const StampCase& c = GetParam();
  ScopedZone zone(c.zone);
  EXPECT_EQ(localStamp(c.instant), c.text) << c.zone;
}

INSTANTIATE_TEST_SUITE_P(
    Zones, LocalStampTest,
    ::testing::Values(
        StampCase{"UTC", utc(1970, 1, 1), "1970-01-01T00:00"},
        // Before 1970 the seconds are dropped toward the past too.
        StampCase{"UTC", utc(1969, 12, 31, 23, 59, 30), "1969-12-31T23:59"},
        StampCase{"UTC", utc(1970, 1, 1, 0, 0, 0, -1), "1969-12-31T23:59"},
        StampCase{"UTC", utc(1960, 6, 1, 12, 0, 59, 999), "1960-06-01T12:00"},
        StampCase{"UTC", utc(999, 1, 1), "0999-01-01T00:00"},
        StampCase{"UTC", utc(12345, 6, 1, 12), "12345-06-01T12:00"},
        StampCase{"Europe/Berlin", utc(2024, 3, 7, 8, 5, 59, 999), "2024-03-07T09:05"},
        StampCase{"Europe/Berlin", utc(2024, 3, 6, 23), "2024-03-07T00:00"},
        // The hour that repeats: two instants an hour apart read the same.
        StampCase{"Europe/Berlin", utc(2024, 10, 27, 0, 30), "2024-10-27T02:30"},
        StampCase{"Europe/Berlin", utc(2024, 10, 27, 1, 30), "2024-10-27T02:30"},
        StampCase{"Europe/Berlin", utc(1889, 12, 31, 23, 6, 31), "1889-12-31T23:59"},
        StampCase{"Europe/Berlin", utc(1889, 12, 31, 23, 6, 32), "1890-01-01T00:00"},
        StampCase{"America/New_York", utc(2024, 1, 15), "2024-01-14T19:00"},
        StampCase{"America/New_York", utc(2024, 11, 3, 5, 59, 59), "2024-11-03T01:59"},
        StampCase{"America/New_York", utc(2024, 11, 3, 6), "2024-11-03T01:00"},
        StampCase{"Asia/Kathmandu", utc(2024, 3, 6, 18, 14, 59), "2024-03-06T23:59"},
        StampCase{"Asia/Kathmandu", utc(2024, 3, 6, 18, 15), "2024-03-07T00:00"},
        StampCase{"Australia/Lord_Howe", utc(2024, 10, 5, 15, 29, 59), "2024-10-06T01:59"},
        StampCase{"Australia/Lord_Howe", utc(2024, 10, 5, 15, 30), "2024-10-06T02:30"},
        StampCase{"America/Sao_Paulo", utc(2018, 11, 4, 2, 59, 59), "2018-11-03T23:59"},
        StampCase{"America/Sao_Paulo", utc(2018, 11, 4, 3), "2018-11-04T01:00"},
        StampCase{"Pacific/Apia", utc(2011, 12, 30, 9, 59, 59), "2011-12-29T23:59"},
        StampCase{"Pacific/Apia", utc(2011, 12, 30, 10), "2011-12-31T00:00"}));

TEST(LocalDayAndStamp, DayBeginsAtMidnightUnlessTheClockSkipsIt) {
  struct Case {
    const char* zone;
    const char* day;
    const char* stamp;
  };
  for (const Case& c : {Case{"UTC", "2024-03-07", "2024-03-07T00:00"},
                        Case{"Europe/Berlin", "2024-10-27", "2024-10-27T00:00"},
                        Case{"America/New_York", "2024-03-10", "2024-03-10T00:00"},
                        Case{"Asia/Kathmandu", "1986-01-01", "1986-01-01T00:15"},
                        Case{"Australia/Lord_Howe", "2024-04-07", "2024-04-07T00:00"},
                        Case{"America/Sao_Paulo", "2018-11-04", "2018-11-04T01:00"},
                        Case{"Europe/Berlin", "1893-04-01", "1893-04-01T00:06"},
                        Case{"Pacific/Apia", "2011-12-31", "2011-12-31T00:00"}}) {
    ScopedZone zone(c.zone);
    const std::optional<Instant> begins = localDay(c.day);
    ASSERT_TRUE(begins.has_value()) << c.zone << " " << c.day;
    EXPECT_EQ(localStamp(*begins), c.stamp) << c.zone;
    // A second earlier still belongs to the day before.
    EXPECT_LT(localStamp(*begins - seconds(1)), std::string(c.day)) << c.zone;
  }
}

}  // namespace
}  // namespace velkor
