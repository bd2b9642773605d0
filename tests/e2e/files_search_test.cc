// The `calendars` and `events` commands over calendar directories, byte for byte.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

using testing::runProgram;
using testing::RunResult;
using testing::TempDir;

RunResult events(const TempDir& home, const std::string& tz, const std::string& from,
                 const std::string& to, const std::string& ids) {
  return runProgram({"events", from, to, ids},
                    {{"XDG_DATA_HOME", home.path().string()}, {"TZ", tz}});
}

std::string ics(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + body + "END:VCALENDAR\r\n";
}

constexpr const char* kNewYork =
    "BEGIN:VTIMEZONE\r\nTZID:America/New_York\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nDTSTART:19700308T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nDTSTART:19701101T020000\r\n"
    "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

// Weekly on Mondays at 09:00 New York time, one occurrence moved, one taken out.
void writeStore(const TempDir& home) {
  home.write("calendars/work/team/standup.ics",
             ics(std::string(kNewYork) +
                 "BEGIN:VEVENT\r\nUID:s\r\nDTSTART;TZID=America/New_York:20260202T090000\r\n"
                 "DTEND;TZID=America/New_York:20260202T093000\r\nRRULE:FREQ=WEEKLY\r\n"
                 "EXDATE;TZID=America/New_York:20260223T090000\r\nSUMMARY:Standup\r\n"
                 "LOCATION:Room 4\\, east\r\nEND:VEVENT\r\n"
                 "BEGIN:VEVENT\r\nUID:s\r\nRECURRENCE-ID;TZID=America/New_York:20260216T090000\r\n"
                 "DTSTART;TZID=America/New_York:20260217T110000\r\n"
                 "DTEND;TZID=America/New_York:20260217T113000\r\nSUMMARY:Standup (moved)\r\n"
                 "END:VEVENT\r\n"));
  home.write("calendars/work/team/trip.ics",
             ics("BEGIN:VEVENT\r\nUID:t\r\nDTSTART;VALUE=DATE:20260218\r\n"
                 "DTEND;VALUE=DATE:20260220\r\nSUMMARY:Trip\r\nEND:VEVENT\r\n"));
  home.write("calendars/holidays.ics",
             ics("BEGIN:VEVENT\r\nUID:h\r\nDTSTART;VALUE=DATE:20260216\r\n"
                 "SUMMARY:Presidents' Day\r\nEND:VEVENT\r\n"
                 "BEGIN:VEVENT\r\nUID:c\r\nDTSTART:20260216T140000Z\r\nEND:VEVENT\r\n"));
}

// Every path under `root` with its size and modification time.
std::vector<std::string> snapshot(const std::filesystem::path& root) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    out.push_back(e.path().string() + " " + std::to_string(st.st_size) + " " +
                  std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec));
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(FileStoreEvents, AnswersRecurringAllDayAndUntitledEventsSortedAndWritesNothing) {
  TempDir home;
  writeStore(home);
  const std::vector<std::string> before = snapshot(home.path());
  RunResult run =
      events(home, "Europe/Berlin", "2026-02-16", "2026-02-23", "work/team,holidays.ics");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "[{\"allDay\":true,\"calendar\":\"holidays.ics\",\"end\":\"2026-02-17T00:00\","
            "\"start\":\"2026-02-16T00:00\",\"title\":\"Presidents' Day\"},"
            "{\"allDay\":false,\"calendar\":\"holidays.ics\",\"end\":\"2026-02-16T15:00\","
            "\"start\":\"2026-02-16T15:00\",\"title\":\"\"},"
            "{\"allDay\":false,\"calendar\":\"work\\/team\",\"end\":\"2026-02-17T17:30\","
            "\"start\":\"2026-02-17T17:00\",\"title\":\"Standup (moved)\"},"
            "{\"allDay\":true,\"calendar\":\"work\\/team\",\"end\":\"2026-02-20T00:00\","
            "\"start\":\"2026-02-18T00:00\",\"title\":\"Trip\"}]\n");
  // New York moves its clocks on 8 March, Berlin three weeks later.
  run = events(home, "Europe/Berlin", "2026-03-02", "2026-03-10", "work/team");
  EXPECT_EQ(
      run.out,
      "[{\"allDay\":false,\"calendar\":\"work\\/team\",\"end\":\"2026-03-02T15:30\","
      "\"location\":\"Room 4, east\",\"start\":\"2026-03-02T15:00\",\"title\":\"Standup\"},"
      "{\"allDay\":false,\"calendar\":\"work\\/team\",\"end\":\"2026-03-09T14:30\","
      "\"location\":\"Room 4, east\",\"start\":\"2026-03-09T14:00\",\"title\":\"Standup\"}]\n");
  EXPECT_EQ(runProgram({"calendars"}, {{"XDG_DATA_HOME", home.path().string()}}).status, 0);
  EXPECT_EQ(snapshot(home.path()), before);
}

TEST(FileStoreEvents, BadFilesAreSkippedSilently) {
  TempDir home;
  home.write("calendars/cal/a.ics",
             ics("BEGIN:VEVENT\r\nUID:a\r\nDTSTART:20260310T090000Z\r\nSUMMARY:good\r\n"
                 "END:VEVENT\r\n"));
  home.write("calendars/cal/b.ics", "\xff\xfe garbage \x01");
  home.write("calendars/cal/c.ics",
             ics("BEGIN:VEVENT\r\nUID:c\r\nDTSTART:soon\r\nRRULE:FREQ=NEVER;COUNT=x\r\n"
                 "DTEND;TZID=Nowhere:bad\r\nSUMMARY:broken\r\nEND:VEVENT\r\n"
                 "BEGIN:VEVENT\r\nUID:d\r\nDTSTART;TZID=../../etc/passwd:20260310T100000\r\n"
                 "RRULE:FREQ=DAILY;BYDAY=XX\r\nSUMMARY:odd zone\r\nEND:VEVENT\r\n"));
  // Stray END lines make libical print a warning; the zone 4 days ahead puts its event outside.
  home.write("calendars/cal/c2.ics",
             "END:VEVENT\r\nEND:VCALENDAR\r\n" +
                 ics("BEGIN:VTIMEZONE\r\nTZID:Odd\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
                     "TZOFFSETFROM:+9999\r\nTZOFFSETTO:+9999\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
                     "BEGIN:VEVENT\r\nUID:o\r\nDTSTART;TZID=Odd:20260310T100000\r\n"
                     "SUMMARY:odd offset\r\nEND:VEVENT\r\n"));
  ASSERT_EQ(::mkfifo((home.path() / "calendars/cal/d.ics").c_str(), 0600), 0);
  home.mkdir("calendars/cal/e.ics");
  const RunResult run = events(home, "UTC", "2026-03-10", "2026-03-11", "cal");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "[{\"allDay\":false,\"calendar\":\"cal\",\"end\":\"2026-03-10T09:00\","
            "\"start\":\"2026-03-10T09:00\",\"title\":\"good\"},"
            "{\"allDay\":false,\"calendar\":\"cal\",\"end\":\"2026-03-10T10:00\","
            "\"start\":\"2026-03-10T10:00\",\"title\":\"odd zone\"}]\n");
}

// Identifiers escaped, titles from displayname files and calendar names, colours as #rrggbb,
// texts repaired to valid UTF-8, sorted by account then title.
TEST(FileStoreListing, ListsHandWrittenCalendarsByteForByte) {
  TempDir home;
  home.write("calendars/work/displayname", "Work\n");
  home.write("calendars/work/team/displayname", "Team\r\n");
  home.write("calendars/work/team/color", "#ABCDEF80\n");
  home.write("calendars/holidays.ics",
             "BEGIN:VCALENDAR\r\nX-WR-CALNAME:Feiertage\\, \r\n Advent\r\n"
             "X-APPLE-CALENDAR-COLOR:#D0021B\r\nEND:VCALENDAR\r\n");
  home.mkdir("calendars/a,b%");
  home.mkdir("calendars/Bad\xFF/x");
  const RunResult run = runProgram({"calendars"}, {{"XDG_DATA_HOME", home.path().string()}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "[{\"account\":\"\",\"color\":\"#d0021b\",\"id\":\"holidays.ics\",\"kind\":\"local\","
            "\"title\":\"Feiertage, Advent\"},"
            "{\"account\":\"\",\"id\":\"a%2Cb%25\",\"kind\":\"local\",\"title\":\"a,b%\"},"
            "{\"account\":\"Bad\xEF\xBF\xBD\",\"id\":\"Bad%FF\\/x\",\"kind\":\"local\","
            "\"title\":\"x\"},"
            "{\"account\":\"Work\",\"color\":\"#abcdef\",\"id\":\"work\\/team\",\"kind\":\"local\","
            "\"title\":\"Team\"}]\n");
}

// The example store in the repository, which `make demo` lists: accounts, a calendar without
// account, a single-file calendar, colours and titles from every source.
TEST(FileStoreListing, ListsTheExampleStore) {
  const RunResult run =
      runProgram({"calendars"}, {{"XDG_DATA_HOME", VELKOR_SOURCE_DIR "/examples"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "[{\"account\":\"\",\"color\":\"#d0021b\",\"id\":\"holidays.ics\",\"kind\":\"local\","
            "\"title\":\"Feiertage & Advent\"},"
            "{\"account\":\"\",\"color\":\"#7ed321\",\"id\":\"personal\",\"kind\":\"local\","
            "\"title\":\"Personal\"},"
            "{\"account\":\"Family\",\"color\":\"#4a90d9\",\"id\":\"family\\/home\","
            "\"kind\":\"local\",\"title\":\"Home\"},"
            "{\"account\":\"Family\",\"color\":\"#f5a623\",\"id\":\"family\\/kids\","
            "\"kind\":\"local\",\"title\":\"Kids\"},"
            "{\"account\":\"Work\",\"color\":\"#9013fe\",\"id\":\"work\\/projects\","
            "\"kind\":\"local\",\"title\":\"Projects\"},"
            "{\"account\":\"Work\",\"color\":\"#50e3c2\",\"id\":\"work\\/team\",\"kind\":\"local\","
            "\"title\":\"Team\"}]\n");
}

}  // namespace
}  // namespace velkor
