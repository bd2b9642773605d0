// The `calendars` command over hand-written calendar directories, byte for byte.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

using testing::runProgram;
using testing::RunResult;
using testing::TempDir;

constexpr const char* kIcs = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n";

RunResult listCalendars(const TempDir& home) {
  return runProgram({"calendars"}, {{"XDG_DATA_HOME", home.path().string()}});
}

TEST(FileStoreListing, ListsAccountsCalendarsTitlesAndColoursSortedByAccountThenTitle) {
  TempDir home;
  home.write("calendars/work/displayname", "Work\n");
  home.write("calendars/work/team/displayname", "Team\r\n");
  home.write("calendars/work/team/color", "#50E3C2\n");
  home.write("calendars/work/team/a.ics", kIcs);
  home.write("calendars/work/Beta/color", "#ABCDEF80");
  home.mkdir("calendars/work/.hidden");
  home.write("calendars/personal/displayname", "Personal\n");
  home.write("calendars/personal/color", "  #7ed321 \n");
  home.write("calendars/personal/x.ics", kIcs);
  home.write("calendars/holidays.ics",
             "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nX-WR-CALNAME:Feiertage\\, \r\n Advent\r\n"
             "X-APPLE-CALENDAR-COLOR:#D0021BFF\r\nBEGIN:VEVENT\r\nUID:1\r\nEND:VEVENT\r\n"
             "END:VCALENDAR\r\n");
  home.mkdir("calendars/a,b%");
  home.write("calendars/zeta/displayname", "Zeta");
  home.mkdir("calendars/Bad\xFF/x");
  home.write("calendars/notes.txt", "not a calendar");
  home.mkdir("calendars/.git/objects");
  ASSERT_EQ(::mkfifo((home.path() / "calendars/pipe.ics").c_str(), 0600), 0);
  std::filesystem::create_symlink(home.path() / "nowhere", home.path() / "calendars/gone.ics");

  const RunResult run = listCalendars(home);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "[{\"account\":\"\",\"color\":\"#d0021b\",\"id\":\"holidays.ics\",\"kind\":\"local\","
            "\"title\":\"Feiertage, Advent\"},"
            "{\"account\":\"\",\"color\":\"#7ed321\",\"id\":\"personal\",\"kind\":\"local\","
            "\"title\":\"Personal\"},"
            "{\"account\":\"\",\"id\":\"zeta\",\"kind\":\"local\",\"title\":\"Zeta\"},"
            "{\"account\":\"\",\"id\":\"a%2Cb%25\",\"kind\":\"local\",\"title\":\"a,b%\"},"
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

TEST(FileStoreListing, ReadsTheStoreAfreshOnEveryRun) {
  TempDir home;
  home.write("calendars/one/displayname", "One");
  EXPECT_EQ(listCalendars(home).out,
            "[{\"account\":\"\",\"id\":\"one\",\"kind\":\"local\",\"title\":\"One\"}]\n");
  home.write("calendars/one/displayname", "Renamed");
  home.write("calendars/one/color", "#000000");
  home.mkdir("calendars/two");
  EXPECT_EQ(listCalendars(home).out,
            "[{\"account\":\"\",\"color\":\"#000000\",\"id\":\"one\",\"kind\":\"local\","
            "\"title\":\"Renamed\"},"
            "{\"account\":\"\",\"id\":\"two\",\"kind\":\"local\",\"title\":\"two\"}]\n");
}

TEST(FileStoreListing, AnUnreadableRootDeniesAccess) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not deny root";
  TempDir home;
  home.mkdir("calendars/cal");
  ::chmod((home.path() / "calendars").c_str(), 0);
  const RunResult status = runProgram({"status"}, {{"XDG_DATA_HOME", home.path().string()}});
  EXPECT_EQ(status.out, "{\"access\":\"denied\"}\n");
  const RunResult listing = listCalendars(home);
  EXPECT_EQ(listing.status, 2);
  EXPECT_EQ(listing.out, "{\"access\":\"denied\"}\n");
}

}  // namespace
}  // namespace velkor
