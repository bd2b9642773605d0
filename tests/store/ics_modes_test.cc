// The fast search (byte scan, expansion started near the window) against the full one (every file
// parsed, every rule expanded from its start) over a generated store of varied events: both must
// give the same events, to the millisecond, for windows of every size.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "store/store_files.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

using testing::TempDir;

constexpr const char* kBerlin =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nDTSTART:19700329T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19701025T030000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

const std::vector<std::string> kRules = {
    "FREQ=DAILY",
    "FREQ=DAILY;INTERVAL=3",
    "FREQ=WEEKLY",
    "FREQ=WEEKLY;BYDAY=MO,WE,FR",
    "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,SU;WKST=MO",
    "FREQ=MONTHLY",
    "FREQ=MONTHLY;BYMONTHDAY=31",
    "FREQ=MONTHLY;BYDAY=2TU",
    "FREQ=MONTHLY;BYDAY=-1FR",
    "FREQ=MONTHLY;BYSETPOS=-1;BYDAY=MO,TU,WE,TH,FR",
    "FREQ=YEARLY",
    "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29",
    "FREQ=HOURLY;INTERVAL=29",
    "FREQ=MINUTELY;INTERVAL=701",
    "FREQ=DAILY;BYHOUR=9,17",
    "FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13",
    "FREQ=YEARLY;BYMONTH=11;BYDAY=4TH",
};

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  std::string file(int index) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    if (pick(2) == 0) text += kBerlin;
    const int events = 1 + pick(3);
    for (int e = 0; e < events; ++e) {
      std::string uid = "u";
      uid.append(std::to_string(index)).append("-").append(std::to_string(e));
      text += vevent(uid);
    }
    return text + "END:VCALENDAR\r\n";
  }

 private:
  int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

  // A local date-time somewhere in 2024-2028 (or a date only).
  std::string when(bool date) {
    const std::time_t t = 1704067200 + static_cast<std::time_t>(pick(5 * 365 * 96)) * 900;
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, date ? "%Y%m%d" : "%Y%m%dT%H%M%S", &tm);
    return buf;
  }

  std::string vevent(const std::string& uid) {
    static const std::vector<std::string> kZones = {";TZID=Europe/Berlin", ";TZID=Asia/Tokyo",
                                                    ";TZID=No/Such", "", "Z"};
    const bool allDay = pick(6) == 0;
    const std::string zone = kZones[static_cast<std::size_t>(pick(5))];
    const std::string params = allDay ? ";VALUE=DATE" : (zone == "Z" ? "" : zone);
    const std::string suffix = !allDay && zone == "Z" ? "Z" : "";
    const std::string start = when(allDay);
    std::string body = "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\nDTSTART" +
                       params + ":" + start + suffix + "\r\n";
    switch (pick(4)) {
      case 0:
        body += allDay ? "DURATION:P2D\r\n" : "DURATION:PT45M\r\n";
        break;
      case 1:
        body += allDay ? "DURATION:P1W\r\n" : "DURATION:P1DT3H\r\n";
        break;
      case 2:
        break;
      default:
        body += "DTEND" + params + ":" + when(allDay) + suffix + "\r\n";
    }
    if (pick(5) < 2) {
      std::string rule = kRules[static_cast<std::size_t>(pick(static_cast<int>(kRules.size())))];
      if (pick(3) == 0)
        rule += ";COUNT=" + std::to_string(1 + pick(60));
      else if (pick(2) == 0)
        rule += ";UNTIL=" + when(false) + "Z";
      body += "RRULE:" + rule + "\r\n";
      if (pick(3) == 0) body += "EXDATE" + params + ":" + start + suffix + "\r\n";
      if (pick(3) == 0) body += "RDATE" + params + ":" + when(allDay) + suffix + "\r\n";
      body += "END:VEVENT\r\n";
      // An override that moves the first occurrence somewhere else.
      if (pick(3) == 0) {
        body += "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:moved " + uid + "\r\nRECURRENCE-ID" +
                params + ":" + start + suffix + "\r\nDTSTART" + params + ":" + when(allDay) +
                suffix + "\r\nEND:VEVENT\r\n";
      }
      return body;
    }
    return body + "END:VEVENT\r\n";
  }

  std::mt19937 rng_;
};

Instant at(int y, int m, int d) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = m - 1;
  tm.tm_mday = d;
  tm.tm_isdst = -1;
  return Instant(std::chrono::seconds(std::mktime(&tm)));
}

std::string key(const Event& e) {
  return e.calendarId + "|" + e.title.value_or("") + "|" +
         std::to_string(e.start.time_since_epoch().count()) + "|" +
         std::to_string(e.end.time_since_epoch().count()) + (e.allDay ? "|d" : "");
}

class Modes : public ::testing::TestWithParam<const char*> {};

TEST_P(Modes, FastAndFullAgreeOverAGeneratedStore) {
  const std::string oldTz = std::getenv("TZ") != nullptr ? std::getenv("TZ") : "";
  ::setenv("TZ", GetParam(), 1);
  ::tzset();
  TempDir dir;
  Generator g(20260306);
  std::vector<FileCalendar> calendars;
  for (int c = 0; c < 3; ++c) {
    const std::string name = "cal" + std::to_string(c);
    for (int f = 0; f < 120; ++f) dir.write(name + "/" + std::to_string(f) + ".ics", g.file(f));
    calendars.push_back(FileCalendar{Calendar{name, name, {}, {}}, dir.path() / name, false});
  }
  const std::vector<std::pair<Instant, Instant>> windows = {
      {at(2026, 3, 2), at(2026, 3, 9)},   {at(2026, 3, 29), at(2026, 3, 30)},
      {at(2024, 1, 1), at(2024, 1, 8)},   {at(2028, 12, 25), at(2029, 1, 1)},
      {at(2025, 10, 1), at(2025, 11, 1)}, {at(2026, 1, 1), at(2026, 5, 1)},
      {at(2027, 2, 28), at(2027, 3, 2)},
  };
  std::size_t total = 0;
  for (const auto& [from, to] : windows) {
    const auto fast = searchFileCalendars(calendars, from, to, SearchMode::kFast);
    const auto full = searchFileCalendars(calendars, from, to, SearchMode::kFull);
    std::vector<std::string> fastKeys, fullKeys;
    for (const Event& e : fast) fastKeys.push_back(key(e));
    for (const Event& e : full) fullKeys.push_back(key(e));
    std::vector<std::string> onlyFast, onlyFull;
    std::set_difference(fastKeys.begin(), fastKeys.end(), fullKeys.begin(), fullKeys.end(),
                        std::back_inserter(onlyFast));
    std::set_difference(fullKeys.begin(), fullKeys.end(), fastKeys.begin(), fastKeys.end(),
                        std::back_inserter(onlyFull));
    EXPECT_EQ(fastKeys, fullKeys) << "only fast: " << ::testing::PrintToString(onlyFast)
                                  << "\nonly full: " << ::testing::PrintToString(onlyFull);
    total += fast.size();
  }
  // The comparison means something only when plenty was found.
  EXPECT_GT(total, 1000u);
  ::setenv("TZ", oldTz.c_str(), 1);
  ::tzset();
}

INSTANTIATE_TEST_SUITE_P(Zones, Modes, ::testing::Values("Europe/Berlin", "America/New_York"));

}  // namespace
}  // namespace velkor
