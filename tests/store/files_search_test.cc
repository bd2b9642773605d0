// The file store's event search over hand-written stores: times and zones, all-day events,
// recurrence, order, bad input and the window's bounds. Every case is answered in both search
// modes, which must agree.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "store/store_files.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

using testing::TempDir;

// Sets TZ for one test and puts the old value back afterwards.
class ScopedTz {
 public:
  explicit ScopedTz(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", tz, 1);
    ::tzset();
  }
  ~ScopedTz() {
    if (old_.empty()) {
      ::unsetenv("TZ");
    } else {
      ::setenv("TZ", old_.c_str(), 1);
    }
    ::tzset();
  }

 private:
  std::string old_;
};

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
  const std::time_t s =
      std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
  std::tm tm{};
  ::localtime_r(&s, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M", &tm);
  return buf;
}

// One event as the tests compare it: "title|start|end" in local stamps, "|all-day" and "@location"
// when set, and the calendar when the test asks.
std::string describe(const Event& e, bool withCalendar) {
  std::string s = (withCalendar ? e.calendarId + ":" : "") + e.title.value_or("<none>") + "|" +
                  stamp(e.start) + "|" + stamp(e.end);
  if (e.allDay) s += "|all-day";
  if (e.location) s += "@" + *e.location;
  return s;
}

std::vector<std::string> describeAll(const std::vector<Event>& events, bool withCalendar) {
  std::vector<std::string> out;
  for (const Event& e : events) out.push_back(describe(e, withCalendar));
  return out;
}

// Searches in both modes; they must give the same events, to the millisecond.
std::vector<Event> search(const std::vector<FileCalendar>& calendars, Instant from, Instant to) {
  const auto fast = searchFileCalendars(calendars, from, to, SearchMode::kFast);
  const auto full = searchFileCalendars(calendars, from, to, SearchMode::kFull);
  EXPECT_EQ(describeAll(fast, true), describeAll(full, true));
  for (std::size_t i = 0; i < std::min(fast.size(), full.size()); ++i) {
    EXPECT_EQ(fast[i].start, full[i].start);
    EXPECT_EQ(fast[i].end, full[i].end);
  }
  return fast;
}

FileCalendar directoryCalendar(const TempDir& dir, const std::string& name) {
  return FileCalendar{Calendar{name, name, std::nullopt, std::nullopt}, dir.path() / name, false};
}

std::string calendarText(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

std::string event(const std::string& lines) {
  return "BEGIN:VEVENT\r\nUID:" + std::to_string(std::hash<std::string>{}(lines)) + "\r\n" + lines +
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

struct Case {
  const char* name;
  const char* tz;
  std::string file;  // the whole text of the calendar's one file
  const char* from;
  const char* to;
  std::vector<std::string> expected;
};

Case c(const char* name, const char* tz, std::string file, const char* from, const char* to,
       std::vector<std::string> expected) {
  return Case{name, tz, std::move(file), from, to, std::move(expected)};
}

class OneFile : public ::testing::TestWithParam<Case> {};

TEST_P(OneFile, FindsTheseOccurrences) {
  const Case& c = GetParam();
  ScopedTz tz(c.tz);
  TempDir dir;
  dir.write("cal/event.ics", c.file);
  const auto found = search({directoryCalendar(dir, "cal")}, day(c.from), day(c.to));
  EXPECT_EQ(describeAll(found, false), c.expected);
}

std::vector<Case> timeCases() {
  return {
      c("OwnVtimezoneSeenFromNewYork", "America/New_York",
        calendarText(std::string(kBerlin) +
                     event("DTSTART;TZID=Europe/Berlin:20260310T100000\r\n"
                           "DTEND;TZID=Europe/Berlin:20260310T113000\r\nSUMMARY:Berlin\r\n")),
        "2026-03-10", "2026-03-11", {"Berlin|2026-03-10T05:00|2026-03-10T06:30"}),
      c("VtimezoneUnderAnOwnName", "UTC",
        calendarText(std::string(kOwnZone) +
                     event("DTSTART;TZID=Office Time:20260310T100000\r\nSUMMARY:Own\r\n"
                           "DURATION:PT1H\r\n")),
        "2026-03-10", "2026-03-11", {"Own|2026-03-10T06:30|2026-03-10T07:30"}),
      c("ZoneNameWithoutVtimezone", "Europe/London",
        calendarText(event("DTSTART;TZID=Asia/Tokyo:20260310T090000\r\n"
                           "DTEND;TZID=Asia/Tokyo:20260310T100000\r\nSUMMARY:Tokyo\r\n")),
        "2026-03-10", "2026-03-11", {"Tokyo|2026-03-10T00:00|2026-03-10T01:00"}),
      c("UnknownZoneNameIsFloating", "Asia/Kolkata",
        calendarText(event("DTSTART;TZID=Nowhere/Special:20260310T090000\r\n"
                           "DTEND;TZID=Nowhere/Special:20260310T100000\r\nSUMMARY:Nowhere\r\n")),
        "2026-03-10", "2026-03-11", {"Nowhere|2026-03-10T09:00|2026-03-10T10:00"}),
      c("Utc", "Asia/Kolkata",
        calendarText(event("DTSTART:20260310T090000Z\r\nDTEND:20260310T100000Z\r\nSUMMARY:U\r\n")),
        "2026-03-10", "2026-03-11", {"U|2026-03-10T14:30|2026-03-10T15:30"}),
      c("FloatingFollowsTheLocalZone", "America/Los_Angeles",
        calendarText(event("DTSTART:20260310T090000\r\nDTEND:20260310T100000\r\nSUMMARY:F\r\n")),
        "2026-03-10", "2026-03-11", {"F|2026-03-10T09:00|2026-03-10T10:00"}),
      c("FloatingInTheSpringGapMovesForward", "Europe/Berlin",
        calendarText(event("DTSTART:20260329T023000\r\nSUMMARY:G\r\n")), "2026-03-29", "2026-03-30",
        {"G|2026-03-29T03:30|2026-03-29T03:30"}),
      c("NoEndMeansZeroLength", "UTC",
        calendarText(event("DTSTART:20260310T090000Z\r\nSUMMARY:Z\r\n")), "2026-03-10",
        "2026-03-11", {"Z|2026-03-10T09:00|2026-03-10T09:00"}),
      c("ZeroLengthAtWindowStartIsFound", "UTC",
        calendarText(event("DTSTART:20260310T000000Z\r\nSUMMARY:Edge\r\n")), "2026-03-10",
        "2026-03-11", {"Edge|2026-03-10T00:00|2026-03-10T00:00"}),
      c("ZeroLengthAtWindowEndIsNot", "UTC",
        calendarText(event("DTSTART:20260311T000000Z\r\nSUMMARY:Edge\r\n")), "2026-03-10",
        "2026-03-11", {}),
      c("EndingAtWindowStartIsNot", "UTC",
        calendarText(event("DTSTART:20260309T230000Z\r\nDTEND:20260310T000000Z\r\nSUMMARY:E\r\n")),
        "2026-03-10", "2026-03-11", {}),
      c("EndingJustAfterWindowStartIs", "UTC",
        calendarText(event("DTSTART:20260309T230000Z\r\nDTEND:20260310T000100Z\r\nSUMMARY:E\r\n")),
        "2026-03-10", "2026-03-11", {"E|2026-03-09T23:00|2026-03-10T00:01"}),
      c("DurationInHoursIsExactAcrossTheClockChange", "Europe/Berlin",
        calendarText(std::string(kBerlin) + event("DTSTART;TZID=Europe/Berlin:20260328T120000\r\n"
                                                  "DURATION:PT24H\r\nSUMMARY:H\r\n")),
        "2026-03-28", "2026-03-30", {"H|2026-03-28T12:00|2026-03-29T13:00"}),
      c("DurationInDaysIsNominalAcrossTheClockChange", "Europe/Berlin",
        calendarText(std::string(kBerlin) + event("DTSTART;TZID=Europe/Berlin:20260328T120000\r\n"
                                                  "DURATION:P1D\r\nSUMMARY:D\r\n")),
        "2026-03-28", "2026-03-30", {"D|2026-03-28T12:00|2026-03-29T12:00"}),
      c("EndBeforeStartIsZeroLength", "UTC",
        calendarText(event("DTSTART:20260310T090000Z\r\nDTEND:20260310T080000Z\r\nSUMMARY:B\r\n")),
        "2026-03-10", "2026-03-11", {"B|2026-03-10T09:00|2026-03-10T09:00"}),
  };
}

std::vector<Case> allDayCases() {
  return {
      c("OneDay", "Europe/Berlin",
        calendarText(event("DTSTART;VALUE=DATE:20260303\r\nDTEND;VALUE=DATE:20260304\r\n"
                           "SUMMARY:Day\r\n")),
        "2026-03-01", "2026-03-04", {"Day|2026-03-03T00:00|2026-03-04T00:00|all-day"}),
      c("OneDayIsNotInTheNextDaysWindow", "Europe/Berlin",
        calendarText(event("DTSTART;VALUE=DATE:20260303\r\nDTEND;VALUE=DATE:20260304\r\n"
                           "SUMMARY:Day\r\n")),
        "2026-03-04", "2026-03-05", {}),
      c("WithoutEndLastsOneDay", "Pacific/Auckland",
        calendarText(event("DTSTART;VALUE=DATE:20260303\r\nSUMMARY:Day\r\n")), "2026-03-03",
        "2026-03-04", {"Day|2026-03-03T00:00|2026-03-04T00:00|all-day"}),
      c("DurationInDays", "America/New_York",
        calendarText(event("DTSTART;VALUE=DATE:20260307\r\nDURATION:P3D\r\nSUMMARY:Trip\r\n")),
        "2026-03-09", "2026-03-10", {"Trip|2026-03-07T00:00|2026-03-10T00:00|all-day"}),
      c("AcrossTheClockChangeKeepsMidnights", "Europe/Berlin",
        calendarText(event("DTSTART;VALUE=DATE:20260328\r\nDTEND;VALUE=DATE:20260330\r\n"
                           "SUMMARY:Weekend\r\n")),
        "2026-03-29", "2026-03-30", {"Weekend|2026-03-28T00:00|2026-03-30T00:00|all-day"}),
  };
}

// Weekly on Tuesdays at 10:00 Berlin time from 2026-01-06.
std::string weekly(const std::string& extra, const std::string& more = "") {
  return calendarText(std::string(kBerlin) +
                      event("DTSTART;TZID=Europe/Berlin:20260106T100000\r\n"
                            "DTEND;TZID=Europe/Berlin:20260106T110000\r\n"
                            "SUMMARY:Weekly\r\nLOCATION:Room\r\n" +
                            extra) +
                      more);
}

std::string override(const std::string& recurrenceId, const std::string& lines) {
  return "BEGIN:VEVENT\r\nUID:" +
         std::to_string(
             std::hash<std::string>{}("DTSTART;TZID=Europe/Berlin:20260106T100000\r\n"
                                      "DTEND;TZID=Europe/Berlin:20260106T110000\r\n"
                                      "SUMMARY:Weekly\r\nLOCATION:Room\r\nRRULE:FREQ=WEEKLY\r\n")) +
         "\r\nRECURRENCE-ID;TZID=Europe/Berlin:" + recurrenceId + "\r\n" + lines + "END:VEVENT\r\n";
}

std::vector<Case> recurrenceCases() {
  return {
      c("WeeklyAcrossTheClockChange", "Europe/Berlin", weekly("RRULE:FREQ=WEEKLY\r\n"),
        "2026-03-20", "2026-04-04",
        {"Weekly|2026-03-24T10:00|2026-03-24T11:00@Room",
         "Weekly|2026-03-31T10:00|2026-03-31T11:00@Room"}),
      c("SeenFromAnotherZoneMovesWithTheClockChanges", "UTC", weekly("RRULE:FREQ=WEEKLY\r\n"),
        "2026-03-20", "2026-04-04",
        {"Weekly|2026-03-24T09:00|2026-03-24T10:00@Room",
         "Weekly|2026-03-31T08:00|2026-03-31T09:00@Room"}),
      c("UntilEndsTheRule", "Europe/Berlin", weekly("RRULE:FREQ=WEEKLY;UNTIL=20260324T090000Z\r\n"),
        "2026-03-20", "2026-04-04", {"Weekly|2026-03-24T10:00|2026-03-24T11:00@Room"}),
      c("CountEndsTheRule", "Europe/Berlin", weekly("RRULE:FREQ=WEEKLY;COUNT=12\r\n"), "2026-03-20",
        "2026-04-04", {"Weekly|2026-03-24T10:00|2026-03-24T11:00@Room"}),
      c("ExdateRemovesOne", "Europe/Berlin",
        weekly("RRULE:FREQ=WEEKLY\r\nEXDATE;TZID=Europe/Berlin:20260324T100000\r\n"), "2026-03-20",
        "2026-04-04", {"Weekly|2026-03-31T10:00|2026-03-31T11:00@Room"}),
      c("ExdateInUtcMatchesTheSameInstant", "Europe/Berlin",
        weekly("RRULE:FREQ=WEEKLY\r\nEXDATE:20260331T080000Z\r\n"), "2026-03-20", "2026-04-04",
        {"Weekly|2026-03-24T10:00|2026-03-24T11:00@Room"}),
      c("RdateAddsOneWithTheMastersLength", "Europe/Berlin",
        weekly("RRULE:FREQ=WEEKLY;UNTIL=20260201T000000Z\r\n"
               "RDATE;TZID=Europe/Berlin:20260326T150000\r\n"),
        "2026-03-20", "2026-04-04", {"Weekly|2026-03-26T15:00|2026-03-26T16:00@Room"}),
      c("OverrideMovedIntoTheWindowKeepsItsOwnFields", "Europe/Berlin",
        weekly("RRULE:FREQ=WEEKLY\r\n", override("20260317T100000",
                                                 "DTSTART;TZID=Europe/Berlin:20260321T180000\r\n"
                                                 "DTEND;TZID=Europe/Berlin:20260321T200000\r\n"
                                                 "SUMMARY:Moved in\r\n")),
        "2026-03-20", "2026-03-25",
        {"Moved in|2026-03-21T18:00|2026-03-21T20:00",
         "Weekly|2026-03-24T10:00|2026-03-24T11:00@Room"}),
      c("OverrideMovedOutOfTheWindowTakesItsOccurrence", "Europe/Berlin",
        weekly("RRULE:FREQ=WEEKLY\r\n", override("20260324T100000",
                                                 "DTSTART;TZID=Europe/Berlin:20260501T100000\r\n"
                                                 "DTEND;TZID=Europe/Berlin:20260501T110000\r\n"
                                                 "SUMMARY:Moved out\r\n")),
        "2026-03-20", "2026-03-25", {}),
      c("OverrideBeforeItsMasterStandsWithIt", "Europe/Berlin",
        calendarText(std::string(kBerlin) +
                     override("20260324T100000",
                              "DTSTART;TZID=Europe/Berlin:20260324T120000\r\n"
                              "DTEND;TZID=Europe/Berlin:20260324T130000\r\n"
                              "SUMMARY:Later\r\n") +
                     event("DTSTART;TZID=Europe/Berlin:20260106T100000\r\n"
                           "DTEND;TZID=Europe/Berlin:20260106T110000\r\n"
                           "SUMMARY:Weekly\r\nLOCATION:Room\r\nRRULE:FREQ=WEEKLY\r\n")),
        "2026-03-20", "2026-04-01",
        {"Later|2026-03-24T12:00|2026-03-24T13:00",
         "Weekly|2026-03-31T10:00|2026-03-31T11:00@Room"}),
      c("LongOccurrencesStartedBeforeTheWindowReachIntoIt", "UTC",
        calendarText(event("DTSTART:20200101T120000Z\r\nDTEND:20200111T120000Z\r\n"
                           "RRULE:FREQ=MONTHLY\r\nSUMMARY:Long\r\n")),
        "2026-03-05", "2026-03-06", {"Long|2026-03-01T12:00|2026-03-11T12:00"}),
      c("AllDayYearly", "Europe/Berlin",
        calendarText(event("DTSTART;VALUE=DATE:19900310\r\nRRULE:FREQ=YEARLY\r\n"
                           "SUMMARY:Birthday\r\n")),
        "2026-03-01", "2026-04-01", {"Birthday|2026-03-10T00:00|2026-03-11T00:00|all-day"}),
      c("AllDayExdateAsDate", "Europe/Berlin",
        calendarText(event("DTSTART;VALUE=DATE:20260302\r\nRRULE:FREQ=DAILY;COUNT=4\r\n"
                           "EXDATE;VALUE=DATE:20260303\r\nSUMMARY:Days\r\n")),
        "2026-03-01", "2026-04-01",
        {"Days|2026-03-02T00:00|2026-03-03T00:00|all-day",
         "Days|2026-03-04T00:00|2026-03-05T00:00|all-day",
         "Days|2026-03-05T00:00|2026-03-06T00:00|all-day"}),
      c("RdateEqualToARuleOccurrenceCountsOnce", "UTC",
        calendarText(event("DTSTART:20260302T090000Z\r\nRRULE:FREQ=DAILY;COUNT=2\r\n"
                           "RDATE:20260303T090000Z\r\nSUMMARY:Once\r\n")),
        "2026-03-01", "2026-03-10",
        {"Once|2026-03-02T09:00|2026-03-02T09:00", "Once|2026-03-03T09:00|2026-03-03T09:00"}),
      c("RuleLibicalRejectsLeavesTheFirstOccurrence", "UTC",
        calendarText(event("DTSTART:20260302T090000Z\r\nRRULE:FREQ=SOMETIMES\r\nSUMMARY:R\r\n")),
        "2026-03-01", "2026-03-10", {"R|2026-03-02T09:00|2026-03-02T09:00"}),
  };
}

std::vector<Case> textCases() {
  return {
      c("EscapesUndone", "UTC",
        calendarText(event("DTSTART:20260310T090000Z\r\n"
                           "SUMMARY:a\\, b\\; c\\\\d\\ne\r\nLOCATION:Room 1\\, left\r\n")),
        "2026-03-10", "2026-03-11",
        {"a, b; c\\d\ne|2026-03-10T09:00|2026-03-10T09:00@Room 1, left"}),
      c("FoldedLinesJoined", "UTC",
        calendarText(event("DTSTART:2026031\r\n 0T090000Z\r\nSUMMARY:long ti\r\n tle\r\n")),
        "2026-03-10", "2026-03-11", {"long title|2026-03-10T09:00|2026-03-10T09:00"}),
      c("NoSummaryNoLocation", "UTC", calendarText(event("DTSTART:20260310T090000Z\r\n")),
        "2026-03-10", "2026-03-11", {"<none>|2026-03-10T09:00|2026-03-10T09:00"}),
      c("EmptySummaryStaysEmptyAndBlankLocationIsKept", "UTC",
        calendarText(event("DTSTART:20260310T090000Z\r\nSUMMARY:\r\nLOCATION:  \r\n")),
        "2026-03-10", "2026-03-11", {"|2026-03-10T09:00|2026-03-10T09:00@  "}),
      c("BlanksAndControlsAtTheEndsKept", "UTC",
        calendarText(event("DTSTART:20260310T090000Z\r\nsummary;language=en: a  b \\N\t\r\n"
                           "LOCATION:x\\'\x0b\r\n")),
        "2026-03-10", "2026-03-11", {" a  b \n\t|2026-03-10T09:00|2026-03-10T09:00@x\\'\x0b"}),
      c("InvalidUtf8PassesThrough", "UTC",
        calendarText(event("DTSTART:20260310T090000Z\r\nSUMMARY:caf\xe9 \xff\r\n")), "2026-03-10",
        "2026-03-11", {"caf\xe9 \xff|2026-03-10T09:00|2026-03-10T09:00"}),
      c("LowerCaseNamesAndLfLineEnds", "UTC",
        "BEGIN:VCALENDAR\nVERSION:2.0\nBEGIN:VEVENT\nUID:x\ndtstart:20260310T090000Z\n"
        "summary:lower\nEND:VEVENT\nEND:VCALENDAR\n",
        "2026-03-10", "2026-03-11", {"lower|2026-03-10T09:00|2026-03-10T09:00"}),
      c("TodosAndJournalsIgnored", "UTC",
        calendarText("BEGIN:VTODO\r\nUID:t\r\nDTSTART:20260310T090000Z\r\nSUMMARY:todo\r\n"
                     "END:VTODO\r\n" +
                     event("DTSTART:20260310T100000Z\r\nSUMMARY:event\r\n")),
        "2026-03-10", "2026-03-11", {"event|2026-03-10T10:00|2026-03-10T10:00"}),
      c("EventWithoutStartSkipped", "UTC",
        calendarText(event("SUMMARY:no start\r\nDTEND:20260310T100000Z\r\n") +
                     event("DTSTART:20260310T100000Z\r\nSUMMARY:kept\r\n")),
        "2026-03-10", "2026-03-11", {"kept|2026-03-10T10:00|2026-03-10T10:00"}),
      c("NotICalendarAtAll", "UTC", "\x01\x02 binary \xff\xfe", "2026-03-10", "2026-03-11", {}),
      c("BrokenStructureAnswersWhatParses", "UTC",
        "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART:20260310T100000Z\r\nSUMMARY:cut", "2026-03-10",
        "2026-03-11", {}),
  };
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string caseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Times, OneFile, ::testing::ValuesIn(timeCases()), caseName);
INSTANTIATE_TEST_SUITE_P(AllDay, OneFile, ::testing::ValuesIn(allDayCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Recurrence, OneFile, ::testing::ValuesIn(recurrenceCases()), caseName);
INSTANTIATE_TEST_SUITE_P(Texts, OneFile, ::testing::ValuesIn(textCases()), caseName);

TEST(FileSearch, OrdersByCalendarThenFileNameThenFileOrderThenStart) {
  ScopedTz tz("UTC");
  TempDir dir;
  dir.write("b/2.ics", calendarText(event("DTSTART:20260310T080000Z\r\nSUMMARY:b2\r\n")));
  dir.write("b/10.ics", calendarText(event("DTSTART:20260310T090000Z\r\nSUMMARY:b10\r\n")));
  dir.write("a/x.ics", calendarText(event("DTSTART:20260310T120000Z\r\nSUMMARY:late first\r\n") +
                                    event("DTSTART:20260309T120000Z\r\nRRULE:FREQ=DAILY;COUNT=3\r\n"
                                          "SUMMARY:daily\r\n")));
  const auto found = search({directoryCalendar(dir, "b"), directoryCalendar(dir, "a")},
                            day("2026-03-09"), day("2026-03-12"));
  EXPECT_EQ(
      describeAll(found, true),
      (std::vector<std::string>{
          "b:b10|2026-03-10T09:00|2026-03-10T09:00", "b:b2|2026-03-10T08:00|2026-03-10T08:00",
          "a:late first|2026-03-10T12:00|2026-03-10T12:00",
          "a:daily|2026-03-09T12:00|2026-03-09T12:00", "a:daily|2026-03-10T12:00|2026-03-10T12:00",
          "a:daily|2026-03-11T12:00|2026-03-11T12:00"}));
}

TEST(FileSearch, SameZoneNameDefinedDifferentlyInTwoFilesKeepsEachDefinition) {
  ScopedTz tz("UTC");
  TempDir dir;
  const std::string plusOne =
      std::string(kOwnZone).replace(std::string(kOwnZone).find("+0330\r\nDTSTART"), 5, "+0100");
  const std::string body = event("DTSTART;TZID=Office Time:20260310T100000\r\nSUMMARY:x\r\n");
  dir.write("cal/a.ics", calendarText(std::string(kOwnZone) + body));
  dir.write("cal/b.ics", calendarText(plusOne + body));
  // Written in lower case, the block is left to libical and read from the parsed file.
  std::string lower = kOwnZone;
  for (const char* word : {"BEGIN:VTIMEZONE", "END:VTIMEZONE"}) {
    const std::size_t at = lower.find(word);
    for (std::size_t i = at; i < at + std::string(word).size(); ++i)
      lower[i] = static_cast<char>(std::tolower(lower[i]));
  }
  dir.write("cal/c.ics", calendarText(lower + body));
  const auto found = search({directoryCalendar(dir, "cal")}, day("2026-03-10"), day("2026-03-11"));
  EXPECT_EQ(describeAll(found, false),
            (std::vector<std::string>{"x|2026-03-10T06:30|2026-03-10T06:30",
                                      "x|2026-03-10T09:00|2026-03-10T09:00",
                                      "x|2026-03-10T06:30|2026-03-10T06:30"}));
}

TEST(FileSearch, SingleFileCalendarReadsItsFile) {
  ScopedTz tz("UTC");
  TempDir dir;
  const auto path = dir.write("holidays.ics",
                              calendarText(event("DTSTART;VALUE=DATE:20260310\r\nSUMMARY:H\r\n")));
  FileCalendar single{Calendar{"holidays.ics", "Holidays", std::nullopt, std::nullopt}, path, true};
  const auto found = search({single}, day("2026-03-10"), day("2026-03-11"));
  EXPECT_EQ(describeAll(found, true),
            std::vector<std::string>{"holidays.ics:H|2026-03-10T00:00|2026-03-11T00:00|all-day"});
}

TEST(FileSearch, SkipsWhatIsNotARegularIcsFileAndBadFiles) {
  ScopedTz tz("UTC");
  TempDir dir;
  const std::string good = calendarText(event("DTSTART:20260310T090000Z\r\nSUMMARY:good\r\n"));
  dir.write("cal/a.ics", good);
  dir.write("cal/.hidden.ics", good);
  dir.write("cal/notes.txt", good);
  dir.write("cal/b.ics", "garbage");
  dir.write("cal/c.ics", "");
  dir.mkdir("cal/d.ics");
  ASSERT_EQ(::mkfifo((dir.path() / "cal/e.ics").c_str(), 0600), 0);
  dir.write("elsewhere/target.ics", good);
  std::filesystem::create_symlink(dir.path() / "elsewhere/target.ics", dir.path() / "cal/f.ics");
  std::filesystem::create_symlink(dir.path() / "missing.ics", dir.path() / "cal/g.ics");
  dir.write("cal/h.ics", good);
  ::chmod((dir.path() / "cal/h.ics").c_str(), 0);
  const bool root = ::geteuid() == 0;  // root reads it anyway
  const auto found = search({directoryCalendar(dir, "cal")}, day("2026-03-10"), day("2026-03-11"));
  EXPECT_EQ(found.size(), root ? 3u : 2u);
  for (const Event& e : found) EXPECT_EQ(e.title, "good");
}

TEST(FileSearch, MissingCalendarDirectoryGivesNothing) {
  TempDir dir;
  EXPECT_TRUE(
      search({directoryCalendar(dir, "gone")}, day("2026-03-10"), day("2026-03-11")).empty());
}

TEST(FileSearch, WindowLongerThanFourYearsIsCut) {
  ScopedTz tz("UTC");
  TempDir dir;
  dir.write("cal/in.ics", calendarText(event("DTSTART:20291230T120000Z\r\nSUMMARY:in\r\n")));
  dir.write("cal/out.ics", calendarText(event("DTSTART:20300102T120000Z\r\nSUMMARY:out\r\n")));
  // 2026-01-01 plus 1,461 days is 2030-01-01.
  const auto found = search({directoryCalendar(dir, "cal")}, day("2026-01-01"), day("2031-01-01"));
  EXPECT_EQ(describeAll(found, false),
            std::vector<std::string>{"in|2029-12-30T12:00|2029-12-30T12:00"});
}

TEST(FileSearch, EndlessSecondlyRuleOverTheLongestWindowFinishesAndIsCapped) {
  ScopedTz tz("UTC");
  TempDir dir;
  dir.write("cal/s.ics", calendarText(event("DTSTART:20200101T000000Z\r\nRRULE:FREQ=SECONDLY\r\n"
                                            "SUMMARY:tick\r\n")));
  const auto before = std::chrono::steady_clock::now();
  const auto found = searchFileCalendars({directoryCalendar(dir, "cal")}, day("2026-01-01"),
                                         day("2031-01-01"), SearchMode::kFast);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  ASSERT_FALSE(found.empty());
  EXPECT_LE(found.size(), 100000u);
  EXPECT_EQ(stamp(found.front().start), "2026-01-01T00:00");
}

}  // namespace
}  // namespace velkor
