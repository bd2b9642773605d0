// The fast search (byte scan, units of a large file read in parts, expansion started near the
// window) against the full one (every file parsed whole, every rule expanded from DTSTART) over
// generated stores: many small files, and single files whose UIDs keep coming back, read in parts
// down to one unit each, with other line ends or cut short. Case files pin the answers themselves.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <sstream>

#include "filestore/filestore.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace velkor {
namespace {

using testing::describe;

Instant day(int y, int m, int d) {
  return Instant(std::chrono::sys_days(std::chrono::year(y) / m / d).time_since_epoch());
}

FileCalendar calendar(const std::filesystem::path& path, bool singleFile) {
  const std::string id = path.filename().string();
  return FileCalendar{Calendar{id, id, std::nullopt, std::nullopt}, path, singleFile};
}

const std::string kBerlin =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:"
    "+0200\r\nDTSTART:19700329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19701025T030000\r\nRRULE:"
    "FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
// Rules of every frequency and the parts calendars use, one per word.
const std::string kRules =
    "FREQ=DAILY FREQ=DAILY;INTERVAL=3 FREQ=WEEKLY;BYDAY=MO,WE,FR FREQ=MONTHLY;COUNT=40 "
    "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,SU;WKST=MO FREQ=MONTHLY;BYMONTHDAY=31 FREQ=MONTHLY;BYDAY=-1FR "
    "FREQ=MONTHLY;BYSETPOS=-1;BYDAY=MO,TU,WE,TH,FR FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29 "
    "FREQ=HOURLY;INTERVAL=29 FREQ=MINUTELY;INTERVAL=701 FREQ=DAILY;BYHOUR=9,17 "
    "FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13 FREQ=DAILY;COUNT=5";
const char* const kDays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
// The file's or the database's zone, an unknown one, floating, UTC.
const char* const kZones[] = {";TZID=Europe/Berlin:", ";TZID=Asia/Tokyo:", ";TZID=No/Such:", ":",
                              "Z"};
// Starts in an hour the clock skips or repeats (Berlin, New York), or just before a window.
const char* const kSpecial[] = {"20260329T023000", "20261025T021500", "20270314T020000",
                                "20261101T013000", "20260227T093000", "20260326T120000"};

// VEVENTs with UIDs drawn from `uids` (a small pool brings masters, overrides and other masters
// of one UID far apart): starts in 2024-2028 on a quarter hour or whole days, lengths of every
// kind, rules of every frequency with COUNT or UNTIL, EXDATE, RDATE, overrides (RANGE ones too)
// that move an occurrence elsewhere, SEQUENCE, alarms.
std::string events(std::mt19937& rng, int count, const std::string& uids, int pool) {
  const auto pick = [&](std::size_t n) { return rng() % n; };
  const auto when = [&](bool date) {
    const std::time_t t = 1704067200 + static_cast<std::time_t>(pick(5 * 365 * 96)) * 900;
    std::tm tm{};
    char buf[32];
    std::strftime(buf, sizeof buf, date ? "%Y%m%d" : "%Y%m%dT%H%M%S", ::gmtime_r(&t, &tm));
    return std::string(buf);
  };
  std::string text;
  for (int e = 0; e < count; ++e) {
    const std::string uid = uids + std::to_string(pick(pool));
    const bool allDay = pick(6) == 0;
    const std::string zone = kZones[pick(5)];
    const std::string param = allDay ? ";VALUE=DATE:" : zone == "Z" ? ":" : zone;
    const auto at = [&](const std::string& name, const std::string& value) {
      return name + param + value + (!allDay && zone == "Z" ? "Z" : "") + "\r\n";
    };
    const std::string start = allDay || pick(5) != 0 ? when(allDay) : kSpecial[pick(6)];
    text += "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\n" + at("DTSTART", start) +
            (pick(4) == 0 ? "SEQUENCE:" + std::to_string(pick(3)) + "\r\n" : "");
    const std::size_t length = pick(4);
    if (length == 0) text += allDay ? "DURATION:P2D\r\n" : "DURATION:PT45M\r\n";
    if (length == 1) text += allDay ? "DURATION:P1W\r\n" : "DURATION:P1DT3H\r\n";
    if (length == 3) text += at("DTEND", when(allDay));
    if (pick(5) < 2) {
      std::istringstream rules(kRules);
      std::string rule;
      for (std::size_t n = 1 + pick(14); n > 0; --n) rules >> rule;
      if (pick(2) == 0) {  // daily and weekly rules of every simple shape
        const bool weekly = pick(3) != 0;
        rule = std::string(weekly ? "FREQ=WEEKLY" : "FREQ=DAILY") +
               ";INTERVAL=" + std::to_string(1 + pick(3)) +
               (pick(2) == 0 ? ";WKST=SU" : ";WKST=MO");
        for (std::size_t n = weekly ? pick(4) : 0, d = pick(7); n > 0;
             --n, d = (d + 1 + pick(3)) % 7)
          rule += (rule.find("BYDAY") == rule.npos ? ";BYDAY=" : ",") + std::string(kDays[d]);
      }
      text += "RRULE:" + rule;
      if (pick(3) == 0 && rule.find("COUNT") == rule.npos) {
        const std::size_t count = 1 + pick(60);  // one in four long: moved to the window
        text += ";COUNT=" + std::to_string(count > 45 ? count * 40 : count);
      } else if (pick(3) != 0 && rule.find("COUNT") == rule.npos) {  // UTC, a date, a wall time
        const std::size_t form = pick(3);
        std::string until = when(form == 1);  // or inside a window, on the start's clock time
        if (pick(2) == 0) {
          until = std::string(pick(2) == 0 ? "20260304" : "20260329") +
                  (form == 1 || start.size() < 9 ? "" : start.substr(8));
        }
        text += ";UNTIL=" + until + (form == 0 ? "Z" : "");
      }
      text += "\r\n" + (pick(3) == 0 ? at("EXDATE", start) : "");
      text += pick(3) == 0 ? at("RDATE", when(allDay)) : "";
      if (pick(4) == 0) text += "BEGIN:VALARM\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n";
      if (pick(3) == 0) {
        const char* range = pick(3) == 0 ? ";RANGE=THISANDFUTURE" : "";
        text += "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:moved " + uid + "\r\n" +
                at(std::string("RECURRENCE-ID") + range, start) + at("DTSTART", when(allDay));
      }
    }
    text += "END:VEVENT\r\n";
  }
  return text;
}

std::string calendarText(const std::string& events, bool zoneFirst) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + (zoneFirst ? kBerlin : "") + events +
         (zoneFirst ? "" : kBerlin) + "END:VCALENDAR\r\n";
}

const std::pair<Instant, Instant> kWindows[] = {
    {day(2026, 3, 2), day(2026, 3, 9)},   {day(2026, 3, 29), day(2026, 3, 30)},
    {day(2024, 1, 1), day(2024, 1, 8)},   {day(2028, 12, 25), day(2029, 1, 1)},
    {day(2025, 10, 1), day(2025, 11, 1)}, {day(2026, 1, 1), day(2026, 5, 1)},
    {day(2027, 2, 28), day(2027, 3, 2)},  {day(2033, 3, 7), day(2033, 3, 14)}};

TEST(FileStoreSearch, BothModesAgreeOverStoresOfManyFiles) {
  for (const char* tz : {"Europe/Berlin", "America/New_York"}) {
    testing::ScopedEnv zone("TZ", tz);
    testing::TempDir dir;
    std::mt19937 rng(20260306);
    std::vector<FileCalendar> calendars;
    for (int c = 0; c < 3; ++c) {
      const std::string name = "cal" + std::to_string(c);
      for (int f = 0; f < 120; ++f) {
        const std::string uids = "u" + std::to_string(f) + "-";
        dir.write(name + "/" + std::to_string(f) + ".ics",
                  calendarText(events(rng, 1 + rng() % 3, uids, 3), rng() % 2 == 0));
      }
      calendars.push_back(calendar(dir.path() / name, false));
    }
    std::size_t found = 0;
    for (const auto& [from, to] : kWindows) {
      const auto fast = searchFileCalendars(calendars, from, to, SearchMode::kFast);
      EXPECT_EQ(describe(fast),
                describe(searchFileCalendars(calendars, from, to, SearchMode::kFull)));
      found += fast.size();
    }
    EXPECT_GT(found, 1000u) << tz;  // the comparison means something only when plenty was found
  }
}

// A single file read in parts keeps every VEVENT of a UID together; the same file with LF or CR
// line ends, or cut short in the middle of an event, gives what the whole file gives.
TEST(FileStoreSearch, SingleFilesReadInPartsGiveWhatTheWholeFileGives) {
  testing::ScopedEnv zone("TZ", "Europe/Berlin");
  testing::TempDir dir;
  const FileCalendar c = calendar(dir.path() / "c.ics", true);
  std::size_t found = 0;
  for (unsigned seed = 1; seed <= 30; ++seed) {
    std::mt19937 rng(seed);
    const std::string body = events(rng, 20 + rng() % 40, "u", 8);
    const std::string whole = calendarText(body, seed % 2 == 0);
    const std::string cut = whole.substr(0, whole.size() - 15) + "BEGIN:VEVENT\r\nDTSTART:2026031";
    for (const auto& [from, to] : kWindows) {
      dir.write("c.ics", whole);
      const std::string want = describe(searchFileCalendars({c}, from, to, SearchMode::kFull));
      found += std::count(want.begin(), want.end(), '\n');
      for (const std::string& text : {whole, std::regex_replace(whole, std::regex("\r\n"), "\n"),
                                      std::regex_replace(cut, std::regex("\r\n"), "\r")}) {
        dir.write("c.ics", text);
        for (const std::size_t part : {std::size_t{1}, std::size_t{700}, kDefaultBatchBytes})
          ASSERT_EQ(describe(searchFileCalendars({c}, from, to, SearchMode::kFast, part)), want)
              << "seed " << seed << ", part " << part;
      }
    }
  }
  EXPECT_GT(found, 1000u);
}

}  // namespace
}  // namespace velkor
