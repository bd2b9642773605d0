// The fast search (byte scan, expansion started near the window) against the full one (every file
// parsed, every rule expanded from its start) over a generated store of varied events: both must
// give the same events, to the millisecond, for windows of every size.
#include <gtest/gtest.h>

#include <ctime>
#include <random>

#include "store/store_files.h"
#include "support/scoped_zone.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

constexpr const char* kBerlin =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nDTSTART:19700329T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19701025T030000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

const char* const kRules[] = {"FREQ=DAILY",
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
                              "FREQ=YEARLY;BYMONTH=11;BYDAY=4TH"};
const char* const kZones[] = {";TZID=Europe/Berlin", ";TZID=Asia/Tokyo", ";TZID=No/Such", "", "Z"};

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  // One to three events, some with a zone block of their own.
  std::string file(int index) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    if (pick(2) == 0) text += kBerlin;
    for (int e = 0, n = 1 + pick(3); e < n; ++e) {
      text += vevent("u" + std::to_string(index) + "-" + std::to_string(e));
    }
    return text + "END:VCALENDAR\r\n";
  }

 private:
  int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

  // A date-time somewhere in 2024-2028 on a quarter hour (or a date only).
  std::string when(bool date) {
    const std::time_t t = 1704067200 + static_cast<std::time_t>(pick(5 * 365 * 96)) * 900;
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, date ? "%Y%m%d" : "%Y%m%dT%H%M%S", &tm);
    return buf;
  }

  std::string vevent(const std::string& uid) {
    const bool allDay = pick(6) == 0;
    const std::string zone = kZones[pick(5)];
    const std::string params = allDay ? ";VALUE=DATE" : (zone == "Z" ? "" : zone);
    const std::string suffix = !allDay && zone == "Z" ? "Z" : "";
    const auto at = [&](const std::string& name, const std::string& value) {
      return name + params + ":" + value + suffix + "\r\n";
    };
    const std::string start = when(allDay);
    std::string body =
        "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\n" + at("DTSTART", start);
    const int length = pick(4);
    if (length == 0) body += allDay ? "DURATION:P2D\r\n" : "DURATION:PT45M\r\n";
    if (length == 1) body += allDay ? "DURATION:P1W\r\n" : "DURATION:P1DT3H\r\n";
    if (length == 3) body += at("DTEND", when(allDay));
    if (pick(5) >= 2) return body + "END:VEVENT\r\n";
    std::string rule = kRules[pick(std::size(kRules))];
    if (pick(3) == 0) {
      rule += ";COUNT=" + std::to_string(1 + pick(60));
    } else if (pick(2) == 0) {
      rule += ";UNTIL=" + when(false) + "Z";
    }
    body += "RRULE:" + rule + "\r\n";
    if (pick(3) == 0) body += at("EXDATE", start);
    if (pick(3) == 0) body += at("RDATE", when(allDay));
    body += "END:VEVENT\r\n";
    // An override that moves the first occurrence somewhere else.
    if (pick(3) == 0) {
      body += "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:moved " + uid + "\r\n" +
              at("RECURRENCE-ID", start) + at("DTSTART", when(allDay)) + "END:VEVENT\r\n";
    }
    return body;
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

std::vector<std::string> keys(const std::vector<Event>& events) {
  std::vector<std::string> out;
  for (const Event& e : events) {
    out.push_back(e.calendarId + "|" + e.title.value_or("") + "|" +
                  std::to_string(e.start.time_since_epoch().count()) + "|" +
                  std::to_string(e.end.time_since_epoch().count()) + (e.allDay ? "|d" : ""));
  }
  return out;
}

TEST(SearchModes, FastAndFullAgreeOverAGeneratedStore) {
  for (const char* tz : {"Europe/Berlin", "America/New_York"}) {
    testing::ScopedZone zone(tz);
    testing::TempDir dir;
    Generator g(20260306);
    std::vector<FileCalendar> calendars;
    for (int c = 0; c < 3; ++c) {
      const std::string name = "cal" + std::to_string(c);
      for (int f = 0; f < 120; ++f) dir.write(name + "/" + std::to_string(f) + ".ics", g.file(f));
      calendars.push_back(FileCalendar{Calendar{name, name, {}, {}}, dir.path() / name, false});
    }
    const std::pair<Instant, Instant> windows[] = {
        {at(2026, 3, 2), at(2026, 3, 9)},   {at(2026, 3, 29), at(2026, 3, 30)},
        {at(2024, 1, 1), at(2024, 1, 8)},   {at(2028, 12, 25), at(2029, 1, 1)},
        {at(2025, 10, 1), at(2025, 11, 1)}, {at(2026, 1, 1), at(2026, 5, 1)},
        {at(2027, 2, 28), at(2027, 3, 2)}};
    std::size_t total = 0;
    for (const auto& [from, to] : windows) {
      const auto fast = keys(searchFileCalendars(calendars, from, to, SearchMode::kFast));
      EXPECT_EQ(fast, keys(searchFileCalendars(calendars, from, to, SearchMode::kFull))) << tz;
      total += fast.size();
    }
    // The comparison means something only when plenty was found.
    EXPECT_GT(total, 1000u) << tz;
  }
}

}  // namespace
}  // namespace velkor
