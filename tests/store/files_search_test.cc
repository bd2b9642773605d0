// The file store's event search over hand-written stores: times and zones, all-day events,
// recurrence, texts, order, bad input and the window's bounds. Every search runs in both modes,
// which must agree to the millisecond.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <ctime>

#include "store/store_files.h"
#include "support/scoped_zone.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

using testing::ScopedZone;
using testing::TempDir;

// Local midnight of "yyyy-mm-dd" in the current zone.
Instant day(const std::string& text) {
  std::tm tm{};
  tm.tm_year = std::stoi(text.substr(0, 4)) - 1900;
  tm.tm_mon = std::stoi(text.substr(5, 2)) - 1;
  tm.tm_mday = std::stoi(text.substr(8, 2));
  tm.tm_isdst = -1;
  return Instant(std::chrono::seconds(std::mktime(&tm)));
}

std::string stamp(Instant t) {
  const std::time_t s = std::chrono::floor<std::chrono::seconds>(t).time_since_epoch().count();
  std::tm tm{};
  ::localtime_r(&s, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M", &tm);
  return buf;
}

// "calendar:title|start|end" in local stamps, "|all-day" and "@location" when set.
std::vector<std::string> describe(const std::vector<Event>& events) {
  std::vector<std::string> out;
  for (const Event& e : events) {
    out.push_back(e.calendarId + ":" + e.title.value_or("<none>") + "|" + stamp(e.start) + "|" +
                  stamp(e.end) + (e.allDay ? "|all-day" : "") +
                  (e.location ? "@" + *e.location : ""));
  }
  return out;
}

std::vector<std::string> search(const std::vector<FileCalendar>& calendars, Instant from,
                                Instant to) {
  const auto fast = searchFileCalendars(calendars, from, to, SearchMode::kFast);
  const auto full = searchFileCalendars(calendars, from, to, SearchMode::kFull);
  EXPECT_EQ(describe(fast), describe(full));
  for (std::size_t i = 0; i < std::min(fast.size(), full.size()); ++i) {
    EXPECT_EQ(fast[i].start, full[i].start);
    EXPECT_EQ(fast[i].end, full[i].end);
  }
  return describe(fast);
}

FileCalendar dirCalendar(const TempDir& dir, const std::string& name) {
  return FileCalendar{Calendar{name, name, std::nullopt, std::nullopt}, dir.path() / name, false};
}

std::string ics(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

// One VEVENT of `lines` (CRLF added), with a UID of its own unless one is given.
std::string ev(const std::vector<std::string>& lines) {
  std::string body;
  for (const std::string& l : lines) body += l + "\r\n";
  const bool hasUid = body.rfind("UID:", 0) == 0;
  return "BEGIN:VEVENT\r\n" +
         (hasUid ? "" : "UID:" + std::to_string(std::hash<std::string>{}(body)) + "\r\n") + body +
         "END:VEVENT\r\n";
}

constexpr const char* kBerlin =
    "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\nDTSTART:19700329T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nDTSTART:19701025T030000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

// A zone under a made-up name, three and a half hours east of UTC all year.
constexpr const char* kOwnZone =
    "BEGIN:VTIMEZONE\r\nTZID:Office Time\r\nBEGIN:STANDARD\r\nTZOFFSETFROM:+0330\r\n"
    "TZOFFSETTO:+0330\r\nDTSTART:19700101T000000\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

// Weekly on Tuesdays at 10:00 Berlin time from 2026-01-06, with `extra` lines.
std::string weekly(const std::string& title, const std::string& extra) {
  return ev({"UID:" + title, "DTSTART;TZID=Europe/Berlin:20260106T100000",
             "DTEND;TZID=Europe/Berlin:20260106T110000", "SUMMARY:" + title, "LOCATION:Room",
             "RRULE:FREQ=WEEKLY" + extra});
}

// An override of weekly("Weekly", ...) for the occurrence of `day` (at 10:00), moved to `start`.
std::string moved(const std::string& day, const std::string& start, const std::string& title) {
  return ev({"UID:Weekly", "RECURRENCE-ID;TZID=Europe/Berlin:" + day + "T100000",
             "DTSTART;TZID=Europe/Berlin:" + start, "SUMMARY:" + title});
}

struct Case {
  const char* name;
  const char* tz;
  std::string file;  // the whole text of the calendar's one file
  const char* from;
  const char* to;
  std::vector<std::string> found;  // "title|start|end..." of the calendar "c"
};

TEST(FileSearch, FindsTheOccurrencesOfOneFile) {
  const std::string utc = "DTSTART:20260310T";
  const Case cases[] = {
      {"zones, seen from +05:30",
       "Asia/Kolkata",
       ics(std::string(kBerlin) + kOwnZone +
           ev({"DTSTART;TZID=Europe/Berlin:20260310T100000",
               "DTEND;TZID=Europe/Berlin:20260310T113000", "SUMMARY:Berlin"}) +
           ev({"DTSTART;TZID=Office Time:20260310T100000", "DURATION:PT1H", "SUMMARY:Own"}) +
           ev({"DTSTART;TZID=Asia/Tokyo:20260310T090000", "SUMMARY:Tokyo"}) +
           ev({"DTSTART;TZID=Nowhere/Special:20260310T090000", "SUMMARY:Unknown"}) +
           ev({utc + "090000Z", "DTEND:20260310T100000Z", "SUMMARY:Utc"}) +
           ev({utc + "090000", "DTEND:20260310T100000", "SUMMARY:Floating"})),
       "2026-03-10",
       "2026-03-11",
       {"Berlin|2026-03-10T14:30|2026-03-10T16:00", "Own|2026-03-10T12:00|2026-03-10T13:00",
        "Tokyo|2026-03-10T05:30|2026-03-10T05:30", "Unknown|2026-03-10T09:00|2026-03-10T09:00",
        "Utc|2026-03-10T14:30|2026-03-10T15:30", "Floating|2026-03-10T09:00|2026-03-10T10:00"}},
      {"floating time in the spring gap moves forward",
       "Europe/Berlin",
       ics(ev({"DTSTART:20260329T023000", "SUMMARY:Gap"})),
       "2026-03-29",
       "2026-03-30",
       {"Gap|2026-03-29T03:30|2026-03-29T03:30"}},
      {"window edges; an end before the start is zero length",
       "UTC",
       ics(ev({utc + "000000Z", "SUMMARY:AtStart"}) +
           ev({"DTSTART:20260311T000000Z", "SUMMARY:AtEnd"}) +
           ev({"DTSTART:20260309T230000Z", "DTEND:20260310T000000Z", "SUMMARY:EndsAtStart"}) +
           ev({"DTSTART:20260309T230000Z", "DTEND:20260310T000100Z", "SUMMARY:EndsAfter"}) +
           ev({utc + "090000Z", "DTEND:20260310T080000Z", "SUMMARY:Reversed"})),
       "2026-03-10",
       "2026-03-11",
       {"AtStart|2026-03-10T00:00|2026-03-10T00:00", "EndsAfter|2026-03-09T23:00|2026-03-10T00:01",
        "Reversed|2026-03-10T09:00|2026-03-10T09:00"}},
      {"durations in hours are exact, in days nominal",
       "Europe/Berlin",
       ics(std::string(kBerlin) +
           ev({"DTSTART;TZID=Europe/Berlin:20260328T120000", "DURATION:PT24H", "SUMMARY:H"}) +
           ev({"DTSTART;TZID=Europe/Berlin:20260328T120000", "DURATION:P1D", "SUMMARY:D"})),
       "2026-03-28",
       "2026-03-30",
       {"H|2026-03-28T12:00|2026-03-29T13:00", "D|2026-03-28T12:00|2026-03-29T12:00"}},
      {"all-day events run from local midnight to local midnight",
       "Europe/Berlin",
       ics(ev({"DTSTART;VALUE=DATE:20260303", "DTEND;VALUE=DATE:20260304", "SUMMARY:Day"}) +
           ev({"DTSTART;VALUE=DATE:20260303", "SUMMARY:NoEnd"}) +
           ev({"DTSTART;VALUE=DATE:20260307", "DURATION:P3D", "SUMMARY:Trip"}) +
           ev({"DTSTART;VALUE=DATE:20260328", "DTEND;VALUE=DATE:20260330", "SUMMARY:Weekend"})),
       "2026-03-03",
       "2026-03-30",
       {"Day|2026-03-03T00:00|2026-03-04T00:00|all-day",
        "NoEnd|2026-03-03T00:00|2026-03-04T00:00|all-day",
        "Trip|2026-03-07T00:00|2026-03-10T00:00|all-day",
        "Weekend|2026-03-28T00:00|2026-03-30T00:00|all-day"}},
      {"an all-day event does not reach the next day's window",
       "Pacific/Auckland",
       ics(ev({"DTSTART;VALUE=DATE:20260303", "DTEND;VALUE=DATE:20260304", "SUMMARY:Day"})),
       "2026-03-04",
       "2026-03-05",
       {}},
      {"weekly across the clock change",
       "Europe/Berlin",
       ics(std::string(kBerlin) + weekly("W", "")),
       "2026-03-20",
       "2026-04-04",
       {"W|2026-03-24T10:00|2026-03-24T11:00@Room", "W|2026-03-31T10:00|2026-03-31T11:00@Room"}},
      {"weekly seen from another zone moves with the clock change",
       "UTC",
       ics(std::string(kBerlin) + weekly("W", "")),
       "2026-03-20",
       "2026-04-04",
       {"W|2026-03-24T09:00|2026-03-24T10:00@Room", "W|2026-03-31T08:00|2026-03-31T09:00@Room"}},
      {"rules end by UNTIL and COUNT; EXDATE and RDATE",
       "Europe/Berlin",
       ics(std::string(kBerlin) + weekly("Until", ";UNTIL=20260324T090000Z") +
           weekly("Count", ";COUNT=12") +
           weekly("ExTz", "\r\nEXDATE;TZID=Europe/Berlin:20260324T100000") +
           weekly("ExUtc", "\r\nEXDATE:20260331T080000Z") +
           weekly("Rdate", ";UNTIL=20260201T000000Z\r\nRDATE;TZID=Europe/Berlin:20260326T150000")),
       "2026-03-20",
       "2026-04-04",
       {"Until|2026-03-24T10:00|2026-03-24T11:00@Room",
        "Count|2026-03-24T10:00|2026-03-24T11:00@Room",
        "ExTz|2026-03-31T10:00|2026-03-31T11:00@Room",
        "ExUtc|2026-03-24T10:00|2026-03-24T11:00@Room",
        "Rdate|2026-03-26T15:00|2026-03-26T16:00@Room"}},
      // An override before its master stands with it; one moved out takes its occurrence along.
      {"overrides move occurrences in and out and keep their own fields",
       "Europe/Berlin",
       ics(std::string(kBerlin) + moved("20260324", "20260324T120000", "Later") +
           weekly("Weekly", "") + moved("20260317", "20260321T180000", "Moved in") +
           moved("20260331", "20260501T100000", "Moved out")),
       "2026-03-20",
       "2026-04-08",
       {"Moved in|2026-03-21T18:00|2026-03-21T18:00", "Later|2026-03-24T12:00|2026-03-24T12:00",
        "Weekly|2026-04-07T10:00|2026-04-07T11:00@Room"}},
      {"long occurrences started before the window reach into it",
       "UTC",
       ics(ev({"DTSTART:20200101T120000Z", "DTEND:20200111T120000Z", "RRULE:FREQ=MONTHLY",
               "SUMMARY:Long"})),
       "2026-03-05",
       "2026-03-06",
       {"Long|2026-03-01T12:00|2026-03-11T12:00"}},
      {"all-day rules and EXDATE as a date",
       "Europe/Berlin",
       ics(ev({"DTSTART;VALUE=DATE:19900310", "RRULE:FREQ=YEARLY", "SUMMARY:Birthday"}) +
           ev({"DTSTART;VALUE=DATE:20260302", "RRULE:FREQ=DAILY;COUNT=4",
               "EXDATE;VALUE=DATE:20260303", "SUMMARY:Days"})),
       "2026-03-01",
       "2026-04-01",
       {"Birthday|2026-03-10T00:00|2026-03-11T00:00|all-day",
        "Days|2026-03-02T00:00|2026-03-03T00:00|all-day",
        "Days|2026-03-04T00:00|2026-03-05T00:00|all-day",
        "Days|2026-03-05T00:00|2026-03-06T00:00|all-day"}},
      {"an RDATE on a rule's occurrence counts once; a rejected rule leaves DTSTART",
       "UTC",
       ics(ev({"DTSTART:20260302T090000Z", "RRULE:FREQ=DAILY;COUNT=2", "RDATE:20260303T090000Z",
               "SUMMARY:Once"}) +
           ev({"DTSTART:20260302T100000Z", "RRULE:FREQ=SOMETIMES", "SUMMARY:Rejected"})),
       "2026-03-01",
       "2026-03-10",
       {"Once|2026-03-02T09:00|2026-03-02T09:00", "Once|2026-03-03T09:00|2026-03-03T09:00",
        "Rejected|2026-03-02T10:00|2026-03-02T10:00"}},
      {"texts as written, escapes undone; other components and events without start skipped",
       "UTC",
       ics(ev({utc + "090000Z", "SUMMARY:a\\, b\\; c\\\\d\\ne", "LOCATION:Room 1\\, left"}) +
           ev({"DTSTART:2026031", " 0T090000Z", "SUMMARY:long ti", " tle"}) +
           ev({utc + "090000Z"}) + ev({utc + "090000Z", "SUMMARY:", "LOCATION:  "}) +
           ev({utc + "090000Z", "summary;language=en: a  b \\N\t", "LOCATION:x\\'\x0b"}) +
           ev({utc + "090000Z", "SUMMARY:caf\xe9 \xff"}) +
           "BEGIN:VTODO\r\nUID:t\r\nDTSTART:20260310T090000Z\r\nSUMMARY:todo\r\nEND:VTODO\r\n" +
           ev({"SUMMARY:no start", "DTEND:20260310T100000Z"})),
       "2026-03-10",
       "2026-03-11",
       {"a, b; c\\d\ne|2026-03-10T09:00|2026-03-10T09:00@Room 1, left",
        "long title|2026-03-10T09:00|2026-03-10T09:00", "<none>|2026-03-10T09:00|2026-03-10T09:00",
        "|2026-03-10T09:00|2026-03-10T09:00@  ",
        " a  b \n\t|2026-03-10T09:00|2026-03-10T09:00@x\\'\x0b",
        "caf\xe9 \xff|2026-03-10T09:00|2026-03-10T09:00"}},
      {"lower-case names and LF line ends",
       "UTC",
       "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nUID:x\ndtstart:20260310T090000Z\n"
       "summary:lower\nEND:VEVENT\nEND:VCALENDAR\n",
       "2026-03-10",
       "2026-03-11",
       {"lower|2026-03-10T09:00|2026-03-10T09:00"}},
  };
  for (const Case& c : cases) {
    ScopedZone zone(c.tz);
    TempDir dir;
    dir.write("c/event.ics", c.file);
    std::vector<std::string> want;
    for (const std::string& f : c.found) want.push_back("c:" + f);
    EXPECT_EQ(search({dirCalendar(dir, "c")}, day(c.from), day(c.to)), want) << c.name;
  }
}

// Calendars in the order given, files by name, events in file order, occurrences by start.
TEST(FileSearch, OrdersByCalendarThenFileNameThenFileOrderThenStart) {
  ScopedZone zone("UTC");
  TempDir dir;
  dir.write("b/2.ics", ics(ev({"DTSTART:20260310T080000Z", "SUMMARY:b2"})));
  dir.write("b/10.ics", ics(ev({"DTSTART:20260310T090000Z", "SUMMARY:b10"})));
  dir.write("a/x.ics",
            ics(ev({"DTSTART:20260310T120000Z", "SUMMARY:late first"}) +
                ev({"DTSTART:20260309T120000Z", "RRULE:FREQ=DAILY;COUNT=3", "SUMMARY:daily"})));
  const auto single = dir.write("h.ics", ics(ev({"DTSTART;VALUE=DATE:20260310", "SUMMARY:H"})));
  const FileCalendar holidays{Calendar{"h.ics", "H", std::nullopt, std::nullopt}, single, true};
  EXPECT_EQ(
      search({dirCalendar(dir, "b"), dirCalendar(dir, "gone"), holidays, dirCalendar(dir, "a")},
             day("2026-03-09"), day("2026-03-12")),
      (std::vector<std::string>{
          "b:b10|2026-03-10T09:00|2026-03-10T09:00", "b:b2|2026-03-10T08:00|2026-03-10T08:00",
          "h.ics:H|2026-03-10T00:00|2026-03-11T00:00|all-day",
          "a:late first|2026-03-10T12:00|2026-03-10T12:00",
          "a:daily|2026-03-09T12:00|2026-03-09T12:00", "a:daily|2026-03-10T12:00|2026-03-10T12:00",
          "a:daily|2026-03-11T12:00|2026-03-11T12:00"}));
}

TEST(FileSearch, SameZoneNameDefinedDifferentlyInTwoFilesKeepsEachDefinition) {
  ScopedZone zone("UTC");
  TempDir dir;
  std::string plusOne = kOwnZone;
  plusOne.replace(plusOne.find("+0330\r\nDTSTART"), 5, "+0100");
  // Written in lower case, the block is left to libical and read from the parsed file.
  std::string lower = kOwnZone;
  for (const std::string word : {"BEGIN:VTIMEZONE", "END:VTIMEZONE"}) {
    const std::size_t at = lower.find(word);
    for (std::size_t i = at; i < at + word.size(); ++i) lower[i] = char(std::tolower(lower[i]));
  }
  const std::string body = ev({"DTSTART;TZID=Office Time:20260310T100000", "SUMMARY:x"});
  dir.write("c/a.ics", ics(kOwnZone + body));
  dir.write("c/b.ics", ics(plusOne + body));
  dir.write("c/c.ics", ics(lower + body));
  EXPECT_EQ(search({dirCalendar(dir, "c")}, day("2026-03-10"), day("2026-03-11")),
            (std::vector<std::string>{"c:x|2026-03-10T06:30|2026-03-10T06:30",
                                      "c:x|2026-03-10T09:00|2026-03-10T09:00",
                                      "c:x|2026-03-10T06:30|2026-03-10T06:30"}));
}

TEST(FileSearch, SkipsWhatIsNotARegularIcsFileAndBadFiles) {
  ScopedZone zone("UTC");
  TempDir dir;
  const std::string good = ics(ev({"DTSTART:20260310T090000Z", "SUMMARY:good"}));
  for (const char* name : {"c/a.ics", "c/.hidden.ics", "c/notes.txt", "elsewhere/t.ics", "c/h.ics"})
    dir.write(name, good);
  dir.write("c/b.ics", "\x01\x02 binary \xff\xfe");
  dir.write("c/c.ics", "");
  dir.write("c/cut.ics",
            "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20260310T100000Z\r\nSUMMARY:cut");
  dir.mkdir("c/d.ics");
  ASSERT_EQ(::mkfifo((dir.path() / "c/e.ics").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.path() / "elsewhere/t.ics", dir.path() / "c/f.ics");
  std::filesystem::create_symlink(dir.path() / "missing.ics", dir.path() / "c/g.ics");
  ::chmod((dir.path() / "c/h.ics").c_str(), 0);
  const std::string found = "c:good|2026-03-10T09:00|2026-03-10T09:00";
  std::vector<std::string> want = {found, found};
  if (::geteuid() == 0) want.push_back(found);  // root reads h.ics anyway
  EXPECT_EQ(search({dirCalendar(dir, "c")}, day("2026-03-10"), day("2026-03-11")), want);
}

TEST(FileSearch, WindowLongerThanFourYearsIsCut) {
  ScopedZone zone("UTC");
  TempDir dir;
  dir.write("c/in.ics", ics(ev({"DTSTART:20291230T120000Z", "SUMMARY:in"})));
  dir.write("c/out.ics", ics(ev({"DTSTART:20300102T120000Z", "SUMMARY:out"})));
  // 2026-01-01 plus 1,461 days is 2030-01-01.
  EXPECT_EQ(search({dirCalendar(dir, "c")}, day("2026-01-01"), day("2031-01-01")),
            std::vector<std::string>{"c:in|2029-12-30T12:00|2029-12-30T12:00"});
}

TEST(FileSearch, EndlessSecondlyRuleOverTheLongestWindowFinishesAndIsCapped) {
  ScopedZone zone("UTC");
  TempDir dir;
  dir.write("c/s.ics", ics(ev({"DTSTART:20200101T000000Z", "RRULE:FREQ=SECONDLY", "SUMMARY:t"})));
  const auto before = std::chrono::steady_clock::now();
  const auto found = searchFileCalendars({dirCalendar(dir, "c")}, day("2026-01-01"),
                                         day("2031-01-01"), SearchMode::kFast);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  ASSERT_FALSE(found.empty());
  EXPECT_LE(found.size(), 100000u);
  EXPECT_EQ(stamp(found.front().start), "2026-01-01T00:00");
}

}  // namespace
}  // namespace velkor
