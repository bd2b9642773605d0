// The `calendars` command over hand-written calendar directories, byte for byte.
#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

using testing::runProgram;
using testing::RunResult;
using testing::TempDir;

// Sorted by account then title, colours as #rrggbb without alpha, identifiers escaped, titles
// from displayname files and calendar names, texts repaired to valid UTF-8.
TEST(FileStoreListing, ListsAccountsCalendarsTitlesAndColours) {
  TempDir home;
  home.write("calendars/work/displayname", "Work\n");
  home.write("calendars/work/team/displayname", "Team\r\n");
  home.write("calendars/work/team/color", "#50E3C2\n");
  home.write("calendars/work/Beta/color", "#ABCDEF80");
  home.write("calendars/personal/color", "  #7ed321 \n");
  home.write("calendars/personal/x.ics", "");
  home.write("calendars/holidays.ics",
             "BEGIN:VCALENDAR\r\nX-WR-CALNAME:Feiertage\\, \r\n Advent\r\n"
             "X-APPLE-CALENDAR-COLOR:#D0021BFF\r\nEND:VCALENDAR\r\n");
  home.mkdir("calendars/a,b%");
  home.mkdir("calendars/Bad\xFF/x");
  const RunResult run = runProgram({"calendars"}, {{"XDG_DATA_HOME", home.path().string()}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "[{\"account\":\"\",\"color\":\"#d0021b\",\"id\":\"holidays.ics\",\"kind\":\"local\","
            "\"title\":\"Feiertage, Advent\"},"
            "{\"account\":\"\",\"id\":\"a%2Cb%25\",\"kind\":\"local\",\"title\":\"a,b%\"},"
            "{\"account\":\"\",\"color\":\"#7ed321\",\"id\":\"personal\",\"kind\":\"local\","
            "\"title\":\"personal\"},"
            "{\"account\":\"Bad\xEF\xBF\xBD\",\"id\":\"Bad%FF\\/x\",\"kind\":\"local\","
            "\"title\":\"x\"},"
            "{\"account\":\"Work\",\"color\":\"#abcdef\",\"id\":\"work\\/Beta\",\"kind\":\"local\","
            "\"title\":\"Beta\"},"
            "{\"account\":\"Work\",\"color\":\"#50e3c2\",\"id\":\"work\\/team\",\"kind\":\"local\","
            "\"title\":\"Team\"}]\n");
}

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
