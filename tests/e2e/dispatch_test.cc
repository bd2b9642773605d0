// The whole process: exit status, standard output and standard error of the dispatch table.
#include <gtest/gtest.h>

#include "cli/usage.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

using testing::runProgram;
using testing::RunResult;
using testing::TempDir;

const std::string kGranted = "{\"access\":\"fullAccess\"}\n";
const std::string kDenied = "{\"access\":\"denied\"}\n";
const std::string kUsage(kGeneralUsage);
const std::string kEvents(kEventsUsage);

struct Row {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

// Runs every row against a store root at `home`/calendars.
void expectRows(const TempDir& home, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    std::string words;
    for (const std::string& w : row.args) words += "[" + w + "]";
    const RunResult run = runProgram(row.args, {{"XDG_DATA_HOME", home.path().string()}});
    EXPECT_EQ(run.status, row.status) << words;
    EXPECT_EQ(run.out, row.out) << words;
    EXPECT_EQ(run.err, row.err) << words;
  }
}

TEST(Dispatch, AnythingButACommandWordGetsTheGeneralUsageLine) {
  TempDir home;
  std::vector<Row> rows = {{{}, 1, "", kUsage}, {{"help", "status"}, 1, "", kUsage}};
  for (const char* word : {"", "Status", "stat", "status ", " status", "eventsx", "-h",
                           "\xC3\xA9vents", "st\xFFtus"}) {
    rows.push_back({{word}, 1, "", kUsage});
  }
  expectRows(home, rows);
}

TEST(Dispatch, CommandsIgnoreFurtherWordsExceptEvents) {
  TempDir home;  // no calendars directory: an empty store with full access
  expectRows(home, {{{"status", "extra"}, 0, kGranted, ""},
                    {{"request", "now"}, 0, kGranted, ""},
                    {{"calendars", "--all"}, 0, "[]\n", ""},
                    {{"events"}, 1, "", kEvents},
                    {{"events", "2026-03-01", "2026-03-02", "a,", "b"}, 1, "", kEvents},
                    {{"events", "2026-03-01", "2026-03-02", "nothing"}, 0, "[]\n", ""}});
}

TEST(Dispatch, MissingAccessGivesTheStatusRecordButUsageErrorsComeFirst) {
  TempDir home;
  // A store root that is not a directory cannot be read: access is denied, even for root.
  home.write("calendars", "not a directory");
  expectRows(home, {{{"status"}, 0, kDenied, ""},
                    {{"request"}, 2, kDenied, ""},
                    {{"calendars"}, 2, kDenied, ""},
                    {{"events", "2026-03-01", "2026-03-02", ""}, 2, kDenied, ""},
                    {{"events", "2026-3-01", "2026-03-02", "a"}, 1, "", kEvents},
                    {{"events", "2026-03-02", "2026-03-01", "a"}, 1, "", kEvents}});
}

// The home directory's root is denied, so a granted answer shows which root was read.
TEST(Dispatch, StoreRootFollowsTheXdgConvention) {
  TempDir home;
  home.write("home/.local/share/calendars", "a file, so this root is denied");
  home.mkdir("xdg/calendars");
  const std::string homeDir = (home.path() / "home").string();
  for (const auto& [xdg, out] : {std::pair{(home.path() / "xdg").string(), kGranted},
                                 std::pair{std::string("relative"), kDenied},
                                 std::pair{std::string(testing::kUnset), kDenied}}) {
    EXPECT_EQ(runProgram({"status"}, {{"XDG_DATA_HOME", xdg}, {"HOME", homeDir}}).out, out) << xdg;
  }
}

}  // namespace
}  // namespace velkor
