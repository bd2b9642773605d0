// The file store's event search over hand-written and generated stores: times and zones, all-day
// events, recurrence, texts, order, bad input and the window's bounds. Every search runs in both
// modes, which must agree to the millisecond.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <random>

#include "filestore/filestore.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

using testing::ScopedZone;
using testing::TempDir;

// Local midnight of "yyyymmdd" in the current zone.
Instant day(const std::string& text) {
  std::tm tm{};
  tm.tm_year = std::stoi(text.substr(0, 4)) - 1900;
  tm.tm_mon = std::stoi(text.substr(4, 2)) - 1;
  tm.tm_mday = std::stoi(text.substr(6, 2));
  tm.tm_isdst = -1;
  return Instant(std::chrono::seconds(std::mktime(&tm)));
}

std::string stamp(Instant t) {
  const std::time_t s = std::chrono::floor<std::chrono::seconds>(t).time_since_epoch().count();
  std::tm tm{};
  ::localtime_r(&s, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%dT%H%M", &tm);
  return buf;
}

// "calendar:title|start|end" in local time, "|all-day" and "@location" when set.
std::vector<std::string> describe(const std::vector<Event>& events) {
  std::vector<std::string> out;
  for (const Event& e : events) {
    out.push_back(e.calendarId + ":" + e.title.value_or("<none>") + "|" + stamp(e.start) + "|" +
                  stamp(e.end) + (e.allDay ? "|all-day" : "") +
                  (e.location ? "@" + *e.location : ""));
  }
  return out;
}

// Searches in both modes, which must give the same events to the millisecond.
std::vector<std::string> search(const std::vector<FileCalendar>& calendars, const char* from,
                                const char* to) {
  const auto fast = searchFileCalendars(calendars, day(from), day(to), SearchMode::kFast);
  const auto full = searchFileCalendars(calendars, day(from), day(to), SearchMode::kFull);
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

// Content lines written with "\n" and sent with CRLF.
std::string crlf(const std::string& lines) {
  std::string out;
  for (const char c : lines) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string ics(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

// One VEVENT of `lines`, with a UID of its own unless it starts with one.
std::string ev(const std::string& lines) {
  const std::string uid = "UID:" + std::to_string(std::hash<std::string>{}(lines)) + "\n";
  return crlf("BEGIN:VEVENT\n" + (lines.rfind("UID:", 0) == 0 ? "" : uid) + lines +
              "\nEND:VEVENT\n");
}

const std::string kBerlin = crlf(
    "BEGIN:VTIMEZONE\nTZID:Europe/Berlin\nBEGIN:DAYLIGHT\nTZOFFSETFROM:+0100\nTZOFFSETTO:+0200\n"
    "DTSTART:19700329T020000\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\nEND:DAYLIGHT\n"
    "BEGIN:STANDARD\nTZOFFSETFROM:+0200\nTZOFFSETTO:+0100\nDTSTART:19701025T030000\n"
    "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\nEND:STANDARD\nEND:VTIMEZONE\n");

// A zone under a made-up name, three and a half hours east of UTC all year.
const std::string kOwnZone = crlf(
    "BEGIN:VTIMEZONE\nTZID:Office Time\nBEGIN:STANDARD\nTZOFFSETFROM:+0330\nTZOFFSETTO:+0330\n"
    "DTSTART:19700101T000000\nEND:STANDARD\nEND:VTIMEZONE\n");

// Weekly on Tuesdays at 10:00 Berlin time from 2026-01-06, with `extra` lines.
std::string weekly(const std::string& title, const std::string& extra) {
  return ev("UID:" + title + "\nDTSTART;TZID=Europe/Berlin:20260106T100000\nDTEND;TZID=Europe/" +
            "Berlin:20260106T110000\nSUMMARY:" + title + "\nLOCATION:Room\nRRULE:FREQ=WEEKLY" +
            extra);
}

// An override of weekly("Weekly", ...) for its occurrence of `day`, moved to `start`.
std::string moved(const std::string& day, const std::string& start, const std::string& title) {
  return ev("UID:Weekly\nRECURRENCE-ID;TZID=Europe/Berlin:" + day +
            "T100000\nDTSTART;TZID=Europe/Berlin:" + start + "\nSUMMARY:" + title);
}

struct Case {
  const char* tz;
  const char* from;
  const char* to;
  std::string file;                // the whole text of the calendar's one file
  std::vector<std::string> found;  // "title|start|end..." of the calendar "c"
};

Case row(const char* tz, const char* from, const char* to, std::string file,
         std::vector<std::string> found) {
  return {tz, from, to, std::move(file), std::move(found)};
}

TEST(FileSearch, FindsTheOccurrencesOfOneFile) {
  const std::vector<Case> cases = {
      // zones, seen from +05:30
      row("Asia/Kolkata", "20260310", "20260311",
          ics(kBerlin + kOwnZone +
              ev("DTSTART;TZID=Europe/Berlin:20260310T100000\nDTEND;TZID=Europe/"
                 "Berlin:20260310T113000"
                 "\nSUMMARY:Berlin") +
              ev("DTSTART;TZID=Office Time:20260310T100000\nDURATION:PT1H\nSUMMARY:Own") +
              ev("DTSTART;TZID=Asia/Tokyo:20260310T090000\nSUMMARY:Tokyo") +
              ev("DTSTART;TZID=Nowhere/Special:20260310T090000\nSUMMARY:Unknown") +
              ev("DTSTART:20260310T090000Z\nDTEND:20260310T100000Z\nSUMMARY:Utc") +
              ev("DTSTART:20260310T090000\nDTEND:20260310T100000\nSUMMARY:Floating")),
          {"Berlin|20260310T1430|20260310T1600", "Own|20260310T1200|20260310T1300",
           "Tokyo|20260310T0530|20260310T0530", "Unknown|20260310T0900|20260310T0900",
           "Utc|20260310T1430|20260310T1530", "Floating|20260310T0900|20260310T1000"}),
      // floating time in the spring gap moves forward
      row("Europe/Berlin", "20260329", "20260330", ics(ev("DTSTART:20260329T023000\nSUMMARY:Gap")),
          {"Gap|20260329T0330|20260329T0330"}),
      // window edges; an end before the start is zero length
      row("UTC", "20260310", "20260311",
          ics(ev("DTSTART:20260310T000000Z\nSUMMARY:AtStart") +
              ev("DTSTART:20260311T000000Z\nSUMMARY:AtEnd") +
              ev("DTSTART:20260309T230000Z\nDTEND:20260310T000000Z\nSUMMARY:EndsAtStart") +
              ev("DTSTART:20260309T230000Z\nDTEND:20260310T000100Z\nSUMMARY:EndsAfter") +
              ev("DTSTART:20260310T090000Z\nDTEND:20260310T080000Z\nSUMMARY:Reversed")),
          {"AtStart|20260310T0000|20260310T0000", "EndsAfter|20260309T2300|20260310T0001",
           "Reversed|20260310T0900|20260310T0900"}),
      // durations in hours are exact, in days nominal
      row("Europe/Berlin", "20260328", "20260330",
          ics(kBerlin +
              ev("DTSTART;TZID=Europe/Berlin:20260328T120000\nDURATION:PT24H\nSUMMARY:H") +
              ev("DTSTART;TZID=Europe/Berlin:20260328T120000\nDURATION:P1D\nSUMMARY:D")),
          {"H|20260328T1200|20260329T1300", "D|20260328T1200|20260329T1200"}),
      // all-day events run from local midnight to local midnight
      row("Europe/Berlin", "20260303", "20260330",
          ics(ev("DTSTART;VALUE=DATE:20260303\nDTEND;VALUE=DATE:20260304\nSUMMARY:Day") +
              ev("DTSTART;VALUE=DATE:20260303\nSUMMARY:NoEnd") +
              ev("DTSTART;VALUE=DATE:20260307\nDURATION:P3D\nSUMMARY:Trip") +
              ev("DTSTART;VALUE=DATE:20260328\nDTEND;VALUE=DATE:20260330\nSUMMARY:Weekend")),
          {"Day|20260303T0000|20260304T0000|all-day", "NoEnd|20260303T0000|20260304T0000|all-day",
           "Trip|20260307T0000|20260310T0000|all-day",
           "Weekend|20260328T0000|20260330T0000|all-day"}),
      // an all-day event does not reach the next day's window
      row("Pacific/Auckland", "20260304", "20260305",
          ics(ev("DTSTART;VALUE=DATE:20260303\nDTEND;VALUE=DATE:20260304")), {}),
      // weekly across the clock change
      row("Europe/Berlin", "20260320", "20260404", ics(kBerlin + weekly("W", "")),
          {"W|20260324T1000|20260324T1100@Room", "W|20260331T1000|20260331T1100@Room"}),
      // weekly seen from another zone moves with the clock change
      row("UTC", "20260320", "20260404", ics(kBerlin + weekly("W", "")),
          {"W|20260324T0900|20260324T1000@Room", "W|20260331T0800|20260331T0900@Room"}),
      // rules end by UNTIL and COUNT; EXDATE and RDATE
      row("Europe/Berlin", "20260320", "20260404",
          ics(kBerlin + weekly("Until", ";UNTIL=20260324T090000Z") + weekly("Count", ";COUNT=12") +
              weekly("ExTz", "\nEXDATE;TZID=Europe/Berlin:20260324T100000") +
              weekly("ExUtc", "\nEXDATE:20260331T080000Z") +
              weekly("Rdate", ";UNTIL=20260201T000000Z\nRDATE;TZID=Europe/Berlin:20260326T150000")),
          {"Until|20260324T1000|20260324T1100@Room", "Count|20260324T1000|20260324T1100@Room",
           "ExTz|20260331T1000|20260331T1100@Room", "ExUtc|20260324T1000|20260324T1100@Room",
           "Rdate|20260326T1500|20260326T1600@Room"}),
      // An override before its master stands with it; one moved out takes its occurrence along.
      // overrides move occurrences in and out and keep their own fields
      row("Europe/Berlin", "20260320", "20260408",
          ics(kBerlin + moved("20260324", "20260324T120000", "Later") + weekly("Weekly", "") +
              moved("20260317", "20260321T180000", "Moved in") +
              moved("20260331", "20260501T100000", "Moved out")),
          {"Moved in|20260321T1800|20260321T1800", "Later|20260324T1200|20260324T1200",
           "Weekly|20260407T1000|20260407T1100@Room"}),
      // long occurrences started before the window reach into it
      row("UTC", "20260305", "20260306",
          ics(ev(
              "DTSTART:20200101T120000Z\nDTEND:20200111T120000Z\nRRULE:FREQ=MONTHLY\nSUMMARY:L")),
          {"L|20260301T1200|20260311T1200"}),
      // all-day rules and EXDATE as a date
      row("Europe/Berlin", "20260301", "20260401",
          ics(ev("DTSTART;VALUE=DATE:19900310\nRRULE:FREQ=YEARLY\nSUMMARY:Birthday") +
              ev("DTSTART;VALUE=DATE:20260302\nRRULE:FREQ=DAILY;COUNT=4\nEXDATE;VALUE=DATE:"
                 "20260303\n"
                 "SUMMARY:Days")),
          {"Birthday|20260310T0000|20260311T0000|all-day",
           "Days|20260302T0000|20260303T0000|all-day", "Days|20260304T0000|20260305T0000|all-day",
           "Days|20260305T0000|20260306T0000|all-day"}),
      // an RDATE on a rule's occurrence counts once; a rejected rule leaves DTSTART
      row("UTC", "20260301", "20260310",
          ics(ev("DTSTART:20260302T090000Z\nRRULE:FREQ=DAILY;COUNT=2\nRDATE:20260303T090000Z\n"
                 "SUMMARY:Once") +
              ev("DTSTART:20260302T100000Z\nRRULE:FREQ=SOMETIMES\nSUMMARY:Rejected")),
          {"Once|20260302T0900|20260302T0900", "Once|20260303T0900|20260303T0900",
           "Rejected|20260302T1000|20260302T1000"}),
      // texts as written, escapes undone; other components, events without start skipped
      row("UTC", "20260310", "20260311",
          ics(ev("DTSTART:20260310T090000Z\nSUMMARY:a\\, b\\; c\\\\d\\ne\nLOCATION:Room 1\\, "
                 "left") +
              ev("DTSTART:2026031\n 0T090000Z\nSUMMARY:long ti\n tle") +
              ev("DTSTART:20260310T090000Z") +
              ev("DTSTART:20260310T090000Z\nSUMMARY:\nLOCATION:  ") +
              ev("DTSTART:20260310T090000Z\nsummary;language=en: a  b \\N\t\nLOCATION:x\\'\x0b") +
              ev("DTSTART:20260310T090000Z\nSUMMARY:caf\xe9 \xff") +
              crlf("BEGIN:VTODO\nUID:t\nDTSTART:20260310T090000Z\nSUMMARY:todo\nEND:VTODO\n") +
              ev("SUMMARY:no start\nDTEND:20260310T100000Z")),
          {"a, b; c\\d\ne|20260310T0900|20260310T0900@Room 1, left",
           "long title|20260310T0900|20260310T0900", "<none>|20260310T0900|20260310T0900",
           "|20260310T0900|20260310T0900@  ", " a  b \n\t|20260310T0900|20260310T0900@x\\'\x0b",
           "caf\xe9 \xff|20260310T0900|20260310T0900"}),
      // lower-case names and LF line ends
      row("UTC", "20260310", "20260311",
          "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nUID:x\ndtstart:20260310T090000Z\n"
          "summary:lower\nEND:VEVENT\nEND:VCALENDAR\n",
          {"lower|20260310T0900|20260310T0900"}),
  };
  for (const Case& c : cases) {
    ScopedZone zone(c.tz);
    TempDir dir;
    dir.write("c/event.ics", c.file);
    std::vector<std::string> want;
    for (const std::string& f : c.found) want.push_back("c:" + f);
    EXPECT_EQ(search({dirCalendar(dir, "c")}, c.from, c.to), want) << c.tz << " " << c.from;
  }
}

// Calendars in the order given, files by name, events in file order, occurrences by start.
TEST(FileSearch, OrdersByCalendarThenFileNameThenFileOrderThenStart) {
  ScopedZone zone("UTC");
  TempDir dir;
  dir.write("b/2.ics", ics(ev("DTSTART:20260310T080000Z\nSUMMARY:b2")));
  dir.write("b/10.ics", ics(ev("DTSTART:20260310T090000Z\nSUMMARY:b10")));
  dir.write("a/x.ics",
            ics(ev("DTSTART:20260310T120000Z\nSUMMARY:first") +
                ev("DTSTART:20260309T120000Z\nRRULE:FREQ=DAILY;COUNT=3\nSUMMARY:daily")));
  const auto single = dir.write("h.ics", ics(ev("DTSTART;VALUE=DATE:20260310\nSUMMARY:H")));
  const FileCalendar holidays{Calendar{"h.ics", "H", std::nullopt, std::nullopt}, single, true};
  EXPECT_EQ(
      search({dirCalendar(dir, "b"), dirCalendar(dir, "gone"), holidays, dirCalendar(dir, "a")},
             "20260309", "20260312"),
      (std::vector<std::string>{
          "b:b10|20260310T0900|20260310T0900", "b:b2|20260310T0800|20260310T0800",
          "h.ics:H|20260310T0000|20260311T0000|all-day", "a:first|20260310T1200|20260310T1200",
          "a:daily|20260309T1200|20260309T1200", "a:daily|20260310T1200|20260310T1200",
          "a:daily|20260311T1200|20260311T1200"}));
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
  const std::string body = ev("DTSTART;TZID=Office Time:20260310T100000\nSUMMARY:x");
  dir.write("c/a.ics", ics(kOwnZone + body));
  dir.write("c/b.ics", ics(plusOne + body));
  dir.write("c/c.ics", ics(lower + body));
  EXPECT_EQ(search({dirCalendar(dir, "c")}, "20260310", "20260311"),
            (std::vector<std::string>{"c:x|20260310T0630|20260310T0630",
                                      "c:x|20260310T0900|20260310T0900",
                                      "c:x|20260310T0630|20260310T0630"}));
}

TEST(FileSearch, SkipsWhatIsNotARegularIcsFileAndBadFiles) {
  ScopedZone zone("UTC");
  TempDir dir;
  const std::string good = ics(ev("DTSTART:20260310T090000Z\nSUMMARY:good"));
  for (const char* name : {"c/a.ics", "c/.hidden.ics", "c/notes.txt", "elsewhere/t.ics", "c/h.ics"})
    dir.write(name, good);
  dir.write("c/b.ics", "\x01\x02 binary \xff\xfe");
  dir.write("c/c.ics", "");
  dir.write("c/cut.ics",
            crlf("BEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20260310T100000Z\nSUMMARY:cut"));
  dir.mkdir("c/d.ics");
  ASSERT_EQ(::mkfifo((dir.path() / "c/e.ics").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.path() / "elsewhere/t.ics", dir.path() / "c/f.ics");
  std::filesystem::create_symlink(dir.path() / "missing.ics", dir.path() / "c/g.ics");
  ::chmod((dir.path() / "c/h.ics").c_str(), 0);
  const std::string found = "c:good|20260310T0900|20260310T0900";
  std::vector<std::string> want = {found, found};
  if (::geteuid() == 0) want.push_back(found);  // root reads h.ics anyway
  EXPECT_EQ(search({dirCalendar(dir, "c")}, "20260310", "20260311"), want);
}

// 2026-01-01 plus 1,461 days is 2030-01-01, not a minute more or less. An endless secondly rule
// over that long a window finishes quickly and is capped.
TEST(FileSearch, WindowLongerThanFourYearsIsCut) {
  ScopedZone zone("UTC");
  TempDir dir;
  dir.write("c/in.ics", ics(ev("DTSTART:20291231T235900Z\nSUMMARY:in")));
  dir.write("c/out.ics", ics(ev("DTSTART:20300101T000000Z\nSUMMARY:out")));
  EXPECT_EQ(search({dirCalendar(dir, "c")}, "20260101", "20310101"),
            std::vector<std::string>{"c:in|20291231T2359|20291231T2359"});
  dir.write("s/s.ics", ics(ev("DTSTART:20200101T000000Z\nRRULE:FREQ=SECONDLY\nSUMMARY:t")));
  const auto before = std::chrono::steady_clock::now();
  const auto found = searchFileCalendars({dirCalendar(dir, "s")}, day("20260101"), day("20310101"),
                                         SearchMode::kFast);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  ASSERT_FALSE(found.empty());
  EXPECT_LE(found.size(), 100000u);
  EXPECT_EQ(stamp(found.front().start), "20260101T0000");
}

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
const char* const kDays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
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
    // One start in five in an hour the clock skips or repeats (Berlin, New York), or just
    // before a window.
    const char* const special[] = {"20260329T023000", "20261025T021500", "20270314T020000",
                                   "20261101T013000", "20260227T093000", "20260326T120000"};
    const std::string start = allDay || pick(5) != 0 ? when(allDay) : special[pick(6)];
    std::string body =
        "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\n" + at("DTSTART", start);
    const int length = pick(4);
    if (length == 0) body += allDay ? "DURATION:P2D\r\n" : "DURATION:PT45M\r\n";
    if (length == 1) body += allDay ? "DURATION:P1W\r\n" : "DURATION:P1DT3H\r\n";
    if (length == 3) body += at("DTEND", when(allDay));
    if (pick(5) >= 2) return body + "END:VEVENT\r\n";
    std::string rule = kRules[pick(std::size(kRules))];
    if (pick(2) == 0) {  // daily and weekly rules of every simple shape
      const bool weekly = pick(3) != 0;
      rule = std::string(weekly ? "FREQ=WEEKLY" : "FREQ=DAILY") +
             ";INTERVAL=" + std::to_string(1 + pick(3)) + (pick(2) == 0 ? ";WKST=SU" : ";WKST=MO");
      for (int n = weekly ? pick(4) : 0, d = pick(7); n > 0; --n, d = (d + 1 + pick(3)) % 7)
        rule += (rule.find("BYDAY") == rule.npos ? ";BYDAY=" : ",") + std::string(kDays[d]);
    }
    if (pick(3) == 0) {
      rule += ";COUNT=" + std::to_string(1 + pick(60));
    } else if (pick(3) != 0) {  // UNTIL in UTC, as a date, as a wall time
      const int form = pick(3);
      std::string until = when(form == 1);  // or inside a window, on the start's clock time
      if (pick(2) == 0) {
        until = std::string(pick(2) == 0 ? "20260304" : "20260329") +
                (form == 1 || start.size() < 9 ? "" : start.substr(8));
      }
      rule += ";UNTIL=" + until + (form == 0 ? "Z" : "");
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

// A calendar of several megabytes is read a batch of events at a time, and one cut short (no
// END:VCALENDAR) keeps its complete events: each must give what the same events give in a small,
// whole file, with overrides far from their master, a UID folded, a zone defined after the events.
TEST(FileSearch, LargeAndCutShortFilesGiveWhatASmallFileGives) {
  ScopedZone zone("Europe/Berlin");
  std::string padding;  // events long before the window, in two halves
  for (int i = 0; padding.size() < (6u << 20); ++i) {
    padding += ev("UID:old-" + std::to_string(i) + "\nDTSTART:20100101T100000Z\nSUMMARY:old");
  }
  const std::string firstHalf = padding.substr(0, padding.find("BEGIN:VEVENT", 3u << 20));
  const std::string secondHalf = padding.substr(firstHalf.size());
  const std::string before = moved("20260303", "20260304T120000", "moved before");
  const std::string master =
      weekly("Weekly", "") + ev("UID:Fol\n ded\nDTSTART:20260305T080000Z\nRRULE:FREQ=DAILY;COUNT="
                                "3\nSUMMARY:folded uid");
  const std::string after =
      moved("20260310", "20260311T090000", "moved after") +
      ev("UID:Folded\nRECURRENCE-ID:20260306T080000Z\nDTSTART:20260306T180000Z\nSUMMARY:evening") +
      ev("UID:Lost\nRECURRENCE-ID:20260303T100000Z\nDTSTART:20260312T100000Z\nSUMMARY:lost") +
      ev("DTSTART;TZID=Office Time:20260309T090000\nSUMMARY:office") + kOwnZone;
  const std::string small = ics(before + master + after);
  auto cut = [](std::string text) {
    text.erase(text.rfind("END:VCALENDAR"));
    return text + "BEGIN:VEVENT\r\nUID:cut\r\nSUMMARY:cut\r\nDTSTART:2026031";
  };
  auto crOnly = [](const std::string& text) {
    std::string out;
    for (const char c : text) {
      if (c != '\n') out += c;
    }
    return out;
  };
  const std::string large = ics(before + firstHalf + master + secondHalf + after);
  const std::pair<const char*, std::string> rows[] = {
      {"large", large},
      {"large, cut short", cut(large)},
      {"small, cut short", cut(small)},
      {"small, cut short, CR line ends", crOnly(cut(small))},
      {"large, cut short, CR line ends", crOnly(cut(large))},
  };
  TempDir dir;
  dir.write("small.ics", small);
  const FileCalendar whole{Calendar{"c", "c", std::nullopt, std::nullopt}, dir.path() / "small.ics",
                           true};
  const std::vector<std::string> expected = search({whole}, "20260302", "20260323");
  // Both overrides replace their occurrences; the orphan stands alone.
  for (const char* title : {"moved before", "moved after", "evening", "lost", "office"}) {
    EXPECT_EQ(std::count_if(expected.begin(), expected.end(),
                            [&](const std::string& e) { return e.find(title) != e.npos; }),
              1)
        << title;
  }
  for (const auto& [name, text] : rows) {
    dir.write("other.ics", text);
    const FileCalendar other{whole.calendar, dir.path() / "other.ics", true};
    EXPECT_EQ(search({other}, "20260302", "20260323"), expected) << name;
  }
}

// The fast search (byte scan, expansion started near the window) against the full one (every file
// parsed, every rule expanded from its start) over a generated store of varied events, for windows
// of every size.
TEST(FileSearch, BothModesAgreeOverAGeneratedStore) {
  for (const char* tz : {"Europe/Berlin", "America/New_York"}) {
    ScopedZone zone(tz);
    TempDir dir;
    Generator g(20260306);
    std::vector<FileCalendar> calendars;
    for (int c = 0; c < 3; ++c) {
      const std::string name = "cal" + std::to_string(c);
      for (int f = 0; f < 120; ++f) dir.write(name + "/" + std::to_string(f) + ".ics", g.file(f));
      calendars.push_back(dirCalendar(dir, name));
    }
    std::size_t total = 0;
    for (const auto& [from, to] : {std::pair{"20260302", "20260309"},
                                   {"20260329", "20260330"},
                                   {"20240101", "20240108"},
                                   {"20281225", "20290101"},
                                   {"20251001", "20251101"},
                                   {"20260101", "20260501"},
                                   {"20270228", "20270302"},
                                   {"20330307", "20330314"}}) {
      total += search(calendars, from, to).size();
    }
    // The comparison means something only when plenty was found.
    EXPECT_GT(total, 1000u) << tz;
  }
}

// What real servers and exporters write: one UID written several times, overrides of removed or
// of all later instances, wall times the clock skips or repeats, zones named loosely.
TEST(FileSearch, ReadsRealWorldShapesAsACalendarShowsThem) {
  const std::string newYork = crlf(
      "BEGIN:VTIMEZONE\nTZID:America/New_York\nBEGIN:DAYLIGHT\nTZOFFSETFROM:-0500\nTZOFFSETTO:-0400"
      "\nDTSTART:20070311T020000\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\nEND:DAYLIGHT\nBEGIN:STAND"
      "ARD\nTZOFFSETFROM:-0400\nTZOFFSETTO:-0500\nDTSTART:20071104T020000\nRRULE:FREQ=YEARLY;BYMON"
      "TH=11;BYDAY=1SU\nEND:STANDARD\nEND:VTIMEZONE\n");
  // Defines Europe/Berlin from 2030 on only, and a name with a blank in front.
  const std::string zones = crlf(
      "BEGIN:VTIMEZONE\nTZID:Europe/Berlin\nBEGIN:STANDARD\nTZOFFSETFROM:+0200\nTZOFFSETTO:+0100\n"
      "DTSTART:20301027T030000\nEND:STANDARD\nEND:VTIMEZONE\nBEGIN:VTIMEZONE\nTZID: 1\nBEGIN:STAN"
      "DARD\nTZOFFSETFROM:+0330\nTZOFFSETTO:+0330\nDTSTART:19700101T000000\nEND:STANDARD\nEND:VTIM"
      "EZONE\n");
  std::vector<Case> cases = {
      // the master that supersedes the others of its UID stands where the first one stood,
      // with the overrides written before it; the others' RDATEs are gone
      row("UTC", "20260310", "20260313",
          ics(ev("UID:x\nRECURRENCE-ID:20260311T090000Z\nDTSTART:20260311T120000Z\nSUMMARY:moved") +
              ev("UID:y\nDTSTART:20260310T080000Z\nSUMMARY:y") +
              ev("UID:x\nSEQUENCE:2\nDTSTART:20260310T090000Z\nRRULE:FREQ=DAILY;COUNT=3\nSUMMARY:"
                 "new") +
              ev("UID:x\nSEQUENCE:1\nDTSTART:20260310T100000Z\nRRULE:FREQ=DAILY\nRDATE:"
                 "20260312T2000"
                 "00Z\nSUMMARY:old") +
              ev("UID:d\nDTSTAMP:20260301T000000Z\nDTSTART:20260310T090000Z\nSUMMARY:stamped "
                 "later") +
              ev("UID:d\nDTSTAMP:20260201T000000Z\nDTSTART:20260310T100000Z\nSUMMARY:earlier") +
              ev("UID:e\nDTSTART:20260310T110000Z\nSUMMARY:first") +
              ev("UID:e\nDTSTART:20260310T120000Z\nSUMMARY:last written")),
          {"y|20260310T0800|20260310T0800", "new|20260310T0900|20260310T0900",
           "moved|20260311T1200|20260311T1200", "new|20260312T0900|20260312T0900",
           "stamped later|20260310T0900|20260310T0900",
           "last written|20260310T1200|20260310T1200"}),
      // an override written twice counts once (the higher SEQUENCE, then the last written); an
      // EXDATE wins over an override
      row("UTC", "20260310", "20260314",
          ics(ev("UID:o\nDTSTART:20260310T090000Z\nRRULE:FREQ=DAILY;COUNT=4\nEXDATE:20260313T0900"
                 "00Z\nSUMMARY:o") +
              ev("UID:o\nSEQUENCE:3\nRECURRENCE-ID:20260311T090000Z\nDTSTART:20260311T150000Z\nSU"
                 "MMARY:kept") +
              ev("UID:o\nSEQUENCE:2\nRECURRENCE-ID:20260311T090000Z\nDTSTART:20260311T160000Z\nSU"
                 "MMARY:stale") +
              ev("UID:o\nRECURRENCE-ID:20260313T090000Z\nDTSTART:20260313T180000Z\nSUMMARY:gone") +
              ev("UID:p\nRECURRENCE-ID:20260312T090000Z\nDTSTART:20260312T100000Z\nSUMMARY:p1") +
              ev("UID:p\nRECURRENCE-ID:20260312T090000Z\nDTSTART:20260312T110000Z\nSUMMARY:p2")),
          {"o|20260310T0900|20260310T0900", "kept|20260311T1500|20260311T1500",
           "o|20260312T0900|20260312T0900", "p2|20260312T1100|20260312T1100"}),
      // THISANDFUTURE moves this and the later instances on the wall clock, across the clock
      // change, with its own length and title
      row("Europe/Berlin", "20260326", "20260331",
          ics(kBerlin +
              ev("UID:r\nDTSTART;TZID=Europe/Berlin:20260325T100000\nDTEND;TZID=Europe/Berlin:2026"
                 "0325T110000\nRRULE:FREQ=DAILY\nSUMMARY:r") +
              ev("UID:r\nRECURRENCE-ID;RANGE=THISANDFUTURE;TZID=Europe/Berlin:20260327T100000\nDT"
                 "START;TZID=Europe/Berlin:20260327T123000\nDURATION:PT30M\nSUMMARY:later")),
          {"r|20260326T1000|20260326T1100", "later|20260327T1230|20260327T1300",
           "later|20260328T1230|20260328T1300", "later|20260329T1230|20260329T1300",
           "later|20260330T1230|20260330T1300"}),
      // ... months ahead, far from both events' own dates (the byte scan must not skip it) ...
      row("UTC", "20260520", "20260521",
          ics(ev("UID:s\nDTSTART:20260301T100000Z\nRRULE:FREQ=DAILY;UNTIL=20260331T100000Z\nSUM"
                 "MARY:s") +
              ev("UID:s\nRECURRENCE-ID;RANGE=THISANDFUTURE:20260302T100000Z\nDTSTART:20260502T10"
                 "0000Z\nSUMMARY:ahead")),
          {"ahead|20260520T1000|20260520T1000"}),
      // ... or back (the expansion near the window must go on past it)
      row("UTC", "20260520", "20260521",
          ics(ev("UID:t\nDTSTART:20260401T080000Z\nRRULE:FREQ=DAILY\nSUMMARY:t") +
              ev("UID:t\nRECURRENCE-ID;RANGE=THISANDFUTURE:20260601T080000Z\nDTSTART:20260501T09"
                 "0000Z\nSUMMARY:back")),
          {"t|20260520T0800|20260520T0800", "back|20260520T0900|20260520T0900"}),
      // zones by name: blanks as spelt, Windows names, the database before a VTIMEZONE's first
      // change; a floating end reads on the start's clock; a DATE-TIME end of a DATE start ends
      // the day before its date; a rule with a misspelt part is dropped
      row("UTC", "20260310", "20260312",
          ics(zones + ev("DTSTART;TZID= 1:20260310T100000\nSUMMARY:blank") +
              ev("DTSTART;TZID=Pacific Standard Time:20260310T100000\nSUMMARY:windows") +
              ev("DTSTART;TZID=Europe/Berlin:20260310T100000\nSUMMARY:early") +
              ev("DTSTART;TZID=Asia/Tokyo:20260310T090000\nDTEND:20260310T100000\nSUMMARY:end") +
              ev("DTSTART;TZID=Asia/Tokyo:20260310T000000Z\nDTEND:20260310T100000\nSUMMARY:z") +
              ev("DTSTART;VALUE=DATE:20260310\nDTEND:20260311T040000\nSUMMARY:date to time") +
              ev("DTSTART:20260310T090000Z\nRRULE:FREQ=DAILY;UNTL=20260320\nSUMMARY:misspelt")),
          {"blank|20260310T0630|20260310T0630", "windows|20260310T1700|20260310T1700",
           "early|20260310T0900|20260310T0900", "end|20260310T0000|20260310T0100",
           "z|20260310T0000|20260310T0100", "date to time|20260310T0000|20260311T0000|all-day",
           "misspelt|20260310T0900|20260310T0900"}),
      // floating times read in the zone the calendar names; dates stay local
      row("UTC", "20260310", "20260311",
          "BEGIN:VCALENDAR\r\nX-WR-TIMEZONE:Asia/Tokyo\r\n" +
              ev("DTSTART:20260310T090000\nDTEND:20260310T093000\nSUMMARY:floating") +
              ev("DTSTART;VALUE=DATE:20260310\nSUMMARY:day") + "END:VCALENDAR\r\n",
          {"floating|20260310T0000|20260310T0030", "day|20260310T0000|20260311T0000|all-day"}),
  };
  // A calendar of megabytes, read a batch of events at a time, keeps each UID's VEVENTs together.
  std::string padding[2];
  for (int i = 0; padding[1].size() < (3u << 20); ++i) {
    padding[i % 2] += ev("UID:pad" + std::to_string(i) + "\nDTSTART:20100101T100000Z");
  }
  cases.push_back(
      row("UTC", "20260310", "20260311",
          ics(ev("UID:x\nRECURRENCE-ID:20260310T090000Z\nDTSTART:20260310T150000Z") + padding[0] +
              ev("UID:x\nDTSTART:20260310T100000Z\nRRULE:FREQ=DAILY") + padding[1] +
              ev("UID:x\nSEQUENCE:1\nDTSTART:20260310T090000Z\nRRULE:FREQ=DAILY")),
          {"<none>|20260310T1500|20260310T1500"}));
  // A wall time the clock skips reads with the offset before the change, one it passes twice is
  // the first; the day after keeps its own offset; UNTIL in UTC is an instant. With the file's
  // zone and with the zone database alike.
  for (const std::string& zone : {std::string(), newYork}) {
    cases.push_back(row(
        "UTC", "20240309", "20240313",
        ics(zone +
            ev("DTSTART;TZID=America/New_York:20240308T023000\nRRULE:FREQ=DAILY;UNTIL=20240311T0630"
               "00Z\nSUMMARY:daily") +
            ev("DTSTART;TZID=America/New_York:20240310T023000\nSUMMARY:skipped")),
        {"daily|20240309T0730|20240309T0730", "daily|20240310T0730|20240310T0730",
         "daily|20240311T0630|20240311T0630", "skipped|20240310T0730|20240310T0730"}));
    cases.push_back(
        row("UTC", "20241103", "20241104",
            ics(zone + ev("DTSTART;TZID=America/New_York:20241103T013000\nSUMMARY:twice")),
            {"twice|20241103T0530|20241103T0530"}));
  }
  for (const Case& c : cases) {
    ScopedZone zone(c.tz);
    TempDir dir;
    dir.write("c/event.ics", c.file);
    std::vector<std::string> want;
    for (const std::string& f : c.found) want.push_back("c:" + f);
    EXPECT_EQ(search({dirCalendar(dir, "c")}, c.from, c.to), want) << c.tz << " " << c.from;
  }
}

}  // namespace
}  // namespace velkor
