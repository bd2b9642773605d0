// The byte scan that lets the search skip files: it may say "no" only when no event of the text
// can reach the days asked, and must say "yes" whenever it is unsure.
#include "filestore/scan.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

std::string vevent(const std::string& lines) {
  return "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:x\r\n" + lines + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

TEST(Scan, SaysWhetherTheTextMayReachTheDays) {
  const std::tuple<const char*, std::string, bool> cases[] = {
      {"far before", vevent("DTSTART:20260201T100000Z\r\n"), false},
      {"far after", vevent("DTSTART;TZID=Europe/Berlin:20260401T100000\r\n"), false},
      {"inside", vevent("DTSTART:20260312T100000Z\r\n"), true},
      {"day before", vevent("DTSTART:20260309T230000\r\n"), true},  // zones move dates a day
      {"day after", vevent("DTSTART;VALUE=DATE:20260317\r\n"), true},
      {"long", vevent("DTSTART:20260201T100000Z\r\nDTEND:20260311T100000Z\r\n"), true},
      {"weeks", vevent("DTSTART:20260201T100000Z\r\nDURATION:P5W\r\n"), true},
      {"hours", vevent("DTSTART:20260201T100000Z\r\nDURATION:PT900H\r\n"), true},
      {"short", vevent("DTSTART:20260201T100000Z\r\nDURATION:P1DT2H\r\n"), false},
      {"rule", vevent("DTSTART:20200101T100000Z\r\nRRULE:FREQ=YEARLY;COUNT=10\r\n"), true},
      {"rule ended",
       vevent("DTSTART:20200101T100000Z\r\nRRULE:FREQ=WEEKLY;UNTIL=20260101T000000Z\r\n"), false},
      {"rule after", vevent("DTSTART:20260501T100000Z\r\nRRULE:FREQ=DAILY\r\n"), false},
      {"rdate", vevent("DTSTART:20250101T100000Z\r\nRDATE:20250201T100000Z,20260311T100000Z\r\n"),
       true},
      {"period", vevent("DTSTART:20250101T100000Z\r\nRDATE;VALUE=PERIOD:20260301T100000Z/P12D\r\n"),
       true},
      {"folded", vevent("DTSTART:2026031\r\n 2T100000Z\r\n"), true},
      {"lower case", vevent("dtstart:20260312T100000Z\r\n"), true},
      {"zone and alarm",
       "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:X\r\nBEGIN:STANDARD\r\nDTSTART:"
       "20260312T000000\r\n"
       "RRULE:FREQ=YEARLY\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\nBEGIN:VEVENT\r\nDTSTART:"
       "20260201T100000Z"
       "\r\nBEGIN:VALARM\r\nDURATION:P60D\r\nEND:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
       false},
      {"todo", "BEGIN:VTODO\r\nDTSTART:20260312T100000Z\r\nEND:VTODO\r\n", false},
      {"second event",
       vevent("DTSTART:20260201T100000Z\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nDTSTART:"
              "20260313T100000Z\r\n"),
       true},
      {"unreadable start", vevent("DTSTART:2026-03-01\r\n"), true},
      {"no start", vevent("SUMMARY:x\r\n"), true},
      {"unclosed", "BEGIN:VEVENT\r\nDTSTART:20260201T100000Z\r\n", true},
      {"mismatched end", "BEGIN:VEVENT\r\nDTSTART:20260201T100000Z\r\nEND:VTODO\r\n", true},
      {"odd begin", "BEGIN;X=1:VEVENT\r\n", true},
      {"empty", "", false},
  };
  const std::int64_t first = daysFromCivil(2026, 3, 10);  // the days asked: 2026-03-10 to 16
  EXPECT_EQ(first, 20522);
  EXPECT_EQ(daysFromCivil(2000, 3, 1) - daysFromCivil(1900, 2, 28),
            36524 + 2);  // 1900 not a leap year, 2000 one
  for (const auto& [name, text, mayReach] : cases) {
    EXPECT_EQ(mayReachDays(text, first, first + 6), mayReach) << name;
  }
}

}  // namespace
}  // namespace velkor
