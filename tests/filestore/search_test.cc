// The file store's search where a case file cannot reach (tests/e2e/cases holds the rest, each run
// in both modes): both modes over a generated store, and files read in parts smaller than an
// event, cut short or with CR line ends, against the same events read whole.
#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <regex>
#include <sstream>

#include "filestore/filestore.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

std::vector<std::string> describe(const std::vector<Event>& events) {
  std::vector<std::string> out;
  for (const Event& e : events) {
    out.push_back(e.calendarId + ":" + e.title.value_or("<none>") + "|" +
                  std::to_string(e.start.time_since_epoch().count()) + "|" +
                  std::to_string(e.end.time_since_epoch().count()) + (e.allDay ? "|all-day" : "") +
                  (e.location ? "@" + *e.location : ""));
  }
  return out;
}

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
    "FREQ=DAILY FREQ=DAILY;INTERVAL=3 FREQ=WEEKLY FREQ=WEEKLY;BYDAY=MO,WE,FR FREQ=MONTHLY "
    "FREQ=WEEKLY;INTERVAL=2;BYDAY=TU,SU;WKST=MO FREQ=MONTHLY;BYMONTHDAY=31 FREQ=MONTHLY;BYDAY=2TU "
    "FREQ=MONTHLY;BYDAY=-1FR FREQ=MONTHLY;BYSETPOS=-1;BYDAY=MO,TU,WE,TH,FR FREQ=YEARLY "
    "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=29 FREQ=HOURLY;INTERVAL=29 FREQ=MINUTELY;INTERVAL=701 "
    "FREQ=DAILY;BYHOUR=9,17 FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13 FREQ=YEARLY;BYMONTH=11;BYDAY=4TH";
// The file's or the database's zone, an unknown one, floating, UTC.
const char* const kDays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
const char* const kZones[] = {";TZID=Europe/Berlin:", ";TZID=Asia/Tokyo:", ";TZID=No/Such:", ":",
                              "Z"};

// One to three events (with a zone block of the file's own sometimes): starts in 2024-2028 on a
// quarter hour or whole days, lengths of every kind, rules with COUNT or UNTIL, EXDATE, RDATE,
// an override that moves the first occurrence somewhere else.
std::string generatedFile(std::mt19937& rng, int file) {
  const auto pick = [&](std::size_t n) { return rng() % n; };
  const auto when = [&](bool date) {
    const std::time_t t = 1704067200 + static_cast<std::time_t>(pick(5 * 365 * 96)) * 900;
    std::tm tm{};
    char buf[32];
    std::strftime(buf, sizeof buf, date ? "%Y%m%d" : "%Y%m%dT%H%M%S", ::gmtime_r(&t, &tm));
    return std::string(buf);
  };
  std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + (pick(2) == 0 ? kBerlin : "");
  for (std::size_t e = 0, n = 1 + pick(3); e < n; ++e) {
    const std::string uid = "u" + std::to_string(file) + "-" + std::to_string(e);
    const bool allDay = pick(6) == 0;
    const std::string zone = kZones[pick(5)];
    const std::string param = allDay ? ";VALUE=DATE:" : zone == "Z" ? ":" : zone;
    const auto at = [&](const std::string& name, const std::string& value) {
      return name + param + value + (!allDay && zone == "Z" ? "Z" : "") + "\r\n";
    };
    // One start in five in an hour the clock skips or repeats (Berlin, New York), or just
    // before a window.
    const char* const special[] = {"20260329T023000", "20261025T021500", "20270314T020000",
                                   "20261101T013000", "20260227T093000", "20260326T120000"};
    const std::string start = allDay || pick(5) != 0 ? when(allDay) : special[pick(6)];
    text += "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\n" + at("DTSTART", start);
    const std::size_t length = pick(4);
    if (length == 0) text += allDay ? "DURATION:P2D\r\n" : "DURATION:PT45M\r\n";
    if (length == 1) text += allDay ? "DURATION:P1W\r\n" : "DURATION:P1DT3H\r\n";
    if (length == 3) text += at("DTEND", when(allDay));
    if (pick(5) < 2) {
      std::istringstream rules(kRules);
      std::string rule;
      for (std::size_t n = 1 + pick(17); n > 0; --n) rules >> rule;
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
      if (pick(3) == 0) {
        text += ";COUNT=" + std::to_string(1 + pick(60));
      } else if (pick(3) != 0) {  // UNTIL in UTC, as a date, as a wall time
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
      if (pick(3) == 0) {
        text += "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:moved " + uid + "\r\n" +
                at("RECURRENCE-ID", start) + at("DTSTART", when(allDay));
      }
    }
    text += "END:VEVENT\r\n";
  }
  return text + "END:VCALENDAR\r\n";
}

// The fast search (byte scan, expansion started near the window) against the full one (every file
// parsed, every rule expanded from its start) over a generated store of varied events, for windows
// of every size.
TEST(FileSearch, BothModesAgreeOverAGeneratedStore) {
  for (const char* tz : {"Europe/Berlin", "America/New_York"}) {
    testing::ScopedZone zone(tz);
    testing::TempDir dir;
    std::mt19937 rng(20260306);
    std::vector<FileCalendar> calendars;
    for (int c = 0; c < 3; ++c) {
      const std::string name = "cal" + std::to_string(c);
      for (int f = 0; f < 120; ++f)
        dir.write(name + "/" + std::to_string(f) + ".ics", generatedFile(rng, f));
      calendars.push_back(calendar(dir.path() / name, false));
    }
    std::size_t total = 0;
    const int windows[][6] = {{2026, 3, 2, 2026, 3, 9},   {2026, 3, 29, 2026, 3, 30},
                              {2024, 1, 1, 2024, 1, 8},   {2028, 12, 25, 2029, 1, 1},
                              {2025, 10, 1, 2025, 11, 1}, {2026, 1, 1, 2026, 5, 1},
                              {2027, 2, 28, 2027, 3, 2},  {2033, 3, 7, 2033, 3, 14}};
    for (const auto& w : windows) {
      const Instant from = day(w[0], w[1], w[2]), to = day(w[3], w[4], w[5]);
      const auto fast = describe(searchFileCalendars(calendars, from, to, SearchMode::kFast));
      EXPECT_EQ(fast, describe(searchFileCalendars(calendars, from, to, SearchMode::kFull)));
      total += fast.size();
    }
    // The comparison means something only when plenty was found.
    EXPECT_GT(total, 1000u) << tz;
  }
}

// A calendar file read in parts down to one unit each keeps every VEVENT of a UID together:
// overrides before and after their master, a lone one, a master superseded by a later SEQUENCE
// with its override first. Cut short (no END:VCALENDAR, a last line without its end) or with
// other line ends, it keeps what the whole file gives.
TEST(FileSearch, FilesReadInPartsGiveWhatTheWholeFileGives) {
  testing::ScopedZone zone("Europe/Berlin");
  std::string whole = "BEGIN:VCALENDAR\n";
  for (const char* e :
       {"UID:w\nRECURRENCE-ID:20260303T090000Z\nDTSTART:20260304T120000Z\nSUMMARY:moved before",
        "UID:x\nRECURRENCE-ID:20260310T090000Z\nDTSTART:20260310T150000Z\nSUMMARY:x moved",
        "UID:w\nDTSTART:20260106T090000Z\nDURATION:PT1H\nRRULE:FREQ=WEEKLY\nSUMMARY:weekly",
        "UID:x\nDTSTART:20260310T100000Z\nRRULE:FREQ=DAILY\nSUMMARY:x old",
        "UID:w\nRECURRENCE-ID:20260310T090000Z\nDTSTART:20260311T090000Z\nSUMMARY:moved after",
        "UID:lost\nRECURRENCE-ID:20260303T100000Z\nDTSTART:20260312T100000Z\nSUMMARY:lost",
        "UID:x\nSEQUENCE:1\nDTSTART:20260310T090000Z\nRRULE:FREQ=DAILY;COUNT=3\nSUMMARY:x"}) {
    whole += "BEGIN:VEVENT\n" + std::string(e) + "\nEND:VEVENT\n";
  }
  const std::string cut = whole + "BEGIN:VEVENT\nUID:cut\nDTSTART:2026031";
  const std::string bare = whole.substr(0, whole.size() - 1);  // no line end after the last event
  whole += "END:VCALENDAR\n";
  testing::TempDir dir;
  const Instant from = day(2026, 3, 2), to = day(2026, 3, 23);
  const FileCalendar c = calendar(dir.write("c.ics", whole), true);
  const auto want = describe(searchFileCalendars({c}, from, to, SearchMode::kFull));
  EXPECT_EQ(want.size(), 7u);  // three of each rule (two moved), the lone override
  for (const std::string& text : {cut, bare, std::regex_replace(cut, std::regex("\n"), "\r"),
                                  std::regex_replace(whole, std::regex("\n"), "\r\n")}) {
    dir.write("c.ics", text);
    for (const std::size_t part : {std::size_t{1}, std::size_t{300}}) {
      EXPECT_EQ(describe(searchFileCalendars({c}, from, to, SearchMode::kFast, part)), want)
          << text;
    }
  }
}

}  // namespace
}  // namespace velkor
