// The byte scan that lets the search skip files: it may say "no" only when no event of the text can
// reach the days asked, and must say "yes" whenever it is unsure.
#include "store/ics_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace velkor {
namespace {

struct ScanCase {
  const char* name;
  std::string text;
  bool mayReach;
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

std::string vevent(const std::string& lines) {
  return "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:x\r\n" + lines + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

class Scan : public ::testing::TestWithParam<ScanCase> {};

// The days asked: 2026-03-10 to 2026-03-16.
TEST_P(Scan, SaysWhetherTheTextMayReachTheDays) {
  const std::int64_t first = daysFromCivil(2026, 3, 10);
  EXPECT_EQ(mayReachDays(GetParam().text, first, first + 6), GetParam().mayReach);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Scan,
    ::testing::Values(
        ScanCase{"FarBefore", vevent("DTSTART:20260201T100000Z\r\n"), false},
        ScanCase{"FarAfter", vevent("DTSTART;TZID=Europe/Berlin:20260401T100000\r\n"), false},
        ScanCase{"Inside", vevent("DTSTART:20260312T100000Z\r\n"), true},
        // Zones can move a local date by a day or more either way.
        ScanCase{"DayBeforeMayBeInside", vevent("DTSTART:20260309T230000\r\n"), true},
        ScanCase{"DayAfterMayBeInside", vevent("DTSTART;VALUE=DATE:20260317\r\n"), true},
        ScanCase{"LongEventFromBefore",
                 vevent("DTSTART:20260201T100000Z\r\nDTEND:20260311T100000Z\r\n"), true},
        ScanCase{"LongDurationFromBefore", vevent("DTSTART:20260201T100000Z\r\nDURATION:P5W\r\n"),
                 true},
        ScanCase{"DurationInHours", vevent("DTSTART:20260201T100000Z\r\nDURATION:PT900H\r\n"),
                 true},
        ScanCase{"ShortDurationFromBefore",
                 vevent("DTSTART:20260201T100000Z\r\nDURATION:P1DT2H\r\n"), false},
        ScanCase{"EndlessRuleFromBefore",
                 vevent("DTSTART:20200101T100000Z\r\nRRULE:FREQ=YEARLY;COUNT=10\r\n"), true},
        ScanCase{"RuleEndedBefore",
                 vevent("DTSTART:20200101T100000Z\r\nRRULE:FREQ=WEEKLY;UNTIL=20260101T000000Z\r\n"),
                 false},
        ScanCase{"RuleStartingAfter", vevent("DTSTART:20260501T100000Z\r\nRRULE:FREQ=DAILY\r\n"),
                 false},
        ScanCase{"RdateInside",
                 vevent("DTSTART:20250101T100000Z\r\nRDATE:20250201T100000Z,20260311T100000Z\r\n"),
                 true},
        ScanCase{"RdatePeriodReachingIn",
                 vevent("DTSTART:20250101T100000Z\r\nRDATE;VALUE=PERIOD:20260301T100000Z/P12D\r\n"),
                 true},
        ScanCase{"FoldedStartIsJoined", vevent("DTSTART:2026031\r\n 2T100000Z\r\n"), true},
        ScanCase{"LowerCaseNames", vevent("dtstart:20260312T100000Z\r\n"), true},
        ScanCase{"ZoneAndAlarmPartsIgnored",
                 "BEGIN:VCALENDAR\r\nBEGIN:VTIMEZONE\r\nTZID:X\r\nBEGIN:STANDARD\r\n"
                 "DTSTART:20260312T000000\r\nRRULE:FREQ=YEARLY\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
                 "BEGIN:VEVENT\r\nDTSTART:20260201T100000Z\r\nBEGIN:VALARM\r\nDURATION:P60D\r\n"
                 "END:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
                 false},
        ScanCase{"TodoIgnored",
                 "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nDTSTART:20260312T100000Z\r\nEND:VTODO\r\n"
                 "END:VCALENDAR\r\n",
                 false},
        ScanCase{"AnyEventOfSeveral",
                 vevent("DTSTART:20260201T100000Z\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\n"
                        "DTSTART:20260313T100000Z\r\n"),
                 true},
        ScanCase{"UnreadableStartIsUnsure", vevent("DTSTART:2026-03-01\r\n"), true},
        ScanCase{"NoStartIsUnsure", vevent("SUMMARY:x\r\n"), true},
        ScanCase{"UnclosedEventIsUnsure", "BEGIN:VEVENT\r\nDTSTART:20260201T100000Z\r\n", true},
        ScanCase{"MismatchedEndIsUnsure",
                 "BEGIN:VEVENT\r\nDTSTART:20260201T100000Z\r\nEND:VTODO\r\n", true},
        ScanCase{"OddBeginIsUnsure", "BEGIN;X=1:VEVENT\r\n", true},
        ScanCase{"EmptyText", "", false}),
    [](const ::testing::TestParamInfo<ScanCase>& info) { return info.param.name; });

TEST(DaysFromCivil, CountsFromTheEpochAcrossLeapYears) {
  EXPECT_EQ(daysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(daysFromCivil(2000, 3, 1) - daysFromCivil(2000, 2, 28), 2);
  EXPECT_EQ(daysFromCivil(1900, 3, 1) - daysFromCivil(1900, 2, 28), 1);
  EXPECT_EQ(daysFromCivil(1969, 12, 31), -1);
  EXPECT_EQ(daysFromCivil(2026, 3, 10), 20522);
}

}  // namespace
}  // namespace velkor
