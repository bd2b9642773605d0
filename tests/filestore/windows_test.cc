// Generated recurring events asked over a wide window and over windows inside it: each smaller
// answer is the wide answer cut to it (a series is the same whatever window it is asked for,
// so expanding near a window must land on the instances expanding from DTSTART gives), and the
// fast search gives what the full one gives, event for event.
#include <gtest/gtest.h>

#include <random>

#include "filestore/filestore.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace velkor {
namespace {

using testing::describe;

Instant dayAt(std::int64_t days) {
  return Instant(std::chrono::sys_days(std::chrono::days(days)).time_since_epoch());
}

constexpr std::int64_t k2024 = 19723;  // 2024-01-01 in days since 1970
const char* const kDays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

std::string stamp(std::int64_t day, int hour, bool date) {
  const std::chrono::year_month_day ymd{std::chrono::sys_days(std::chrono::days(day))};
  char buf[32];
  std::snprintf(buf, sizeof buf, date ? "%04d%02u%02u" : "%04d%02u%02uT%02d%02d00",
                static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                static_cast<unsigned>(ymd.day()), hour, hour % 4 * 15);
  return buf;
}

// One VEVENT: a rule of every frequency (weekly ones most often, with any WKST, BYDAY, BYMONTH),
// with COUNT, UNTIL or neither; DTSTART in a zone, UTC, floating or a date; EXDATE, RDATE and
// RDATE periods on the rule's own starts or elsewhere.
std::string ruleEvent(std::mt19937& rng, int uid) {
  const auto pick = [&](unsigned n) { return static_cast<int>(rng() % n); };
  const std::int64_t start = k2024 + pick(3 * 365);
  const int hour = pick(24);
  const bool date = pick(6) == 0;
  const std::string zones[] = {";TZID=Europe/Berlin:", ";TZID=America/New_York:", ":", ":"};
  const int zone = pick(4);
  const auto at = [&](const std::string& name, std::int64_t day) {
    if (date) return name + ";VALUE=DATE:" + stamp(day, 0, true) + "\r\n";
    return name + zones[zone] + stamp(day, hour, false) + (zone == 3 ? "Z" : "") + "\r\n";
  };
  const char* const freqs[] = {"WEEKLY", "WEEKLY", "WEEKLY", "DAILY", "MONTHLY", "YEARLY"};
  const std::string freq = freqs[pick(6)];
  std::string rule =
      "FREQ=" + freq + ";INTERVAL=" + std::to_string(1 + pick(4)) + ";WKST=" + kDays[pick(7)];
  if (freq == "WEEKLY" || (freq == "DAILY" && pick(3) == 0)) {
    for (int n = pick(4), d = pick(7); n > 0; --n, d = (d + 1 + pick(3)) % 7)
      rule += (rule.find("BYDAY") == std::string::npos ? ";BYDAY=" : ",") + std::string(kDays[d]);
    if (pick(4) == 0) rule += ";BYMONTH=" + std::to_string(1 + pick(12)) + ",9";
  } else if (freq == "MONTHLY" && pick(2) == 0) {
    rule += std::string(";BYDAY=") + (pick(2) == 0 ? "-1" : "2") + kDays[pick(7)];
  }
  if (const int end = pick(3); end == 0) {
    rule += ";COUNT=" + std::to_string(1 + pick(40));
  } else if (end == 1) {
    rule += ";UNTIL=" + stamp(start + pick(900), 23, date) + (date ? "" : "Z");
  }
  std::string text = "BEGIN:VEVENT\r\nUID:w" + std::to_string(uid) + "\r\nSUMMARY:w" +
                     std::to_string(uid) + "\r\n" + at("DTSTART", start) +
                     (pick(2) == 0 ? (date ? "DURATION:P2D\r\n" : "DURATION:PT90M\r\n") : "") +
                     "RRULE:" + rule + "\r\n";
  if (pick(3) == 0) text += at("EXDATE", start + 7 * pick(10));
  if (pick(3) == 0) text += at("RDATE", start + pick(200));
  if (!date && zone == 3 && pick(3) == 0) {
    text += "RDATE;VALUE=PERIOD:" + stamp(start + 7 * pick(5), hour, false) + "Z/PT" +
            std::to_string(pick(5)) + "H\r\n";
  }
  return text + "END:VEVENT\r\n";
}

// The events of `events` in [from, to) as a window finds them, in a fixed order.
std::vector<std::string> within(const EventList& events, Instant from, Instant to) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const EventList::Entry& e = events[i];
    const bool in =
        e.start == e.end ? e.start >= from && e.start < to : e.start < to && e.end > from;
    if (in) out.push_back(describe(events, i));
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(FileStoreSearch, AWindowGivesTheWiderWindowsAnswerCutToIt) {
  for (const char* tz : {"Europe/Berlin", "America/New_York"}) {
    testing::ScopedEnv zone("TZ", tz);
    testing::TempDir dir;
    std::mt19937 rng(20261207);
    for (int f = 0; f < 100; ++f) {
      dir.write("c/" + std::to_string(f) + ".ics", "BEGIN:VCALENDAR\r\n" + ruleEvent(rng, 2 * f) +
                                                       ruleEvent(rng, 2 * f + 1) +
                                                       "END:VCALENDAR\r\n");
    }
    const std::vector<FileCalendar> calendars{
        {Calendar{"c", "c", std::nullopt, std::nullopt}, dir.path() / "c", false}};
    const Instant wideFrom = dayAt(k2024), wideTo = dayAt(k2024 + 1461);
    const EventList wide = searchFileCalendars(calendars, wideFrom, wideTo, SearchMode::kFast);
    ASSERT_EQ(describe(wide),
              describe(searchFileCalendars(calendars, wideFrom, wideTo, SearchMode::kFull)));
    EXPECT_GT(wide.size(), 5000u) << tz;  // enough to mean something
    std::size_t found = 0;
    for (int w = 0; w < 30; ++w) {
      const std::int64_t first = k2024 + static_cast<std::int64_t>(rng() % 1400);
      const Instant from = dayAt(first), to = dayAt(first + 1 + rng() % 60);
      const EventList fast = searchFileCalendars(calendars, from, to, SearchMode::kFast);
      EXPECT_EQ(within(fast, from, to), within(wide, from, to)) << tz << ", window " << w;
      EXPECT_EQ(describe(fast),
                describe(searchFileCalendars(calendars, from, to, SearchMode::kFull)))
          << tz << ", window " << w;
      found += fast.size();
    }
    EXPECT_GT(found, 1000u) << tz;
  }
}

}  // namespace
}  // namespace velkor
