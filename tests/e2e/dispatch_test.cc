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

constexpr const char* kGranted = "{\"access\":\"fullAccess\"}\n";
constexpr const char* kDeniedRecord = "{\"access\":\"denied\"}\n";

struct Row {
  std::vector<std::string> args;
  int status;
  std::string out;
  std::string err;
};

void expectRows(const std::vector<Row>& rows, const testing::EnvOverrides& env) {
  for (const Row& row : rows) {
    std::string words;
    for (const std::string& w : row.args) words += "[" + w + "]";
    const RunResult run = runProgram(row.args, env);
    EXPECT_EQ(run.status, row.status) << words;
    EXPECT_EQ(run.out, row.out) << words;
    EXPECT_EQ(run.err, row.err) << words;
  }
}

TEST(Dispatch, AnythingButACommandWordGetsTheGeneralUsageLine) {
  TempDir home;
  const std::string usage(kGeneralUsage);
  std::vector<Row> rows;
  for (const char* word : {"", "Status", "STATUS", "stat", "status ", " status", "event", "eventsx",
                           "calendar", "requests", "-h", "--help", "\xC3\xA9vents", "st\xFFtus"}) {
    rows.push_back({{word}, 1, "", usage});
  }
  rows.push_back({{}, 1, "", usage});
  rows.push_back({{"help", "status"}, 1, "", usage});
  expectRows(rows, {{"XDG_DATA_HOME", home.path().string()}});
}

TEST(Dispatch, CommandsIgnoreFurtherWordsExceptEvents) {
  TempDir home;  // no calendars directory: an empty store with full access
  expectRows(
      {
          {{"status"}, 0, kGranted, ""},
          {{"status", "extra", "words"}, 0, kGranted, ""},
          {{"request"}, 0, kGranted, ""},
          {{"request", "now"}, 0, kGranted, ""},
          {{"calendars"}, 0, "[]\n", ""},
          {{"calendars", "--all"}, 0, "[]\n", ""},
          {{"events"}, 1, "", std::string(kEventsUsage)},
          {{"events", "2026-03-01", "2026-03-02"}, 1, "", std::string(kEventsUsage)},
          {{"events", "2026-03-01", "2026-03-02", "a,", "b"}, 1, "", std::string(kEventsUsage)},
          {{"events", "2026-03-01", "2026-03-02", "nothing"}, 0, "[]\n", ""},
      },
      {{"XDG_DATA_HOME", home.path().string()}});
}

TEST(Dispatch, MissingAccessGivesTheStatusRecordButUsageErrorsComeFirst) {
  TempDir home;
  // A store root that is not a directory cannot be read: access is denied, even for root.
  home.write("calendars", "not a directory");
  expectRows(
      {
          {{"status"}, 0, kDeniedRecord, ""},
          {{"request"}, 2, kDeniedRecord, ""},
          {{"calendars"}, 2, kDeniedRecord, ""},
          {{"events", "2026-03-01", "2026-03-02", ""}, 2, kDeniedRecord, ""},
          {{"events", "2026-03-01", "2026-03-02", "a,b"}, 2, kDeniedRecord, ""},
          {{"events", "2026-3-01", "2026-03-02", "a"}, 1, "", std::string(kEventsUsage)},
          {{"events", "2026-03-02", "2026-03-02", "a"}, 1, "", std::string(kEventsUsage)},
          {{"events", "2026-03-02", "2026-03-01", "a"}, 1, "", std::string(kEventsUsage)},
          {{"events", "x"}, 1, "", std::string(kEventsUsage)},
      },
      {{"XDG_DATA_HOME", home.path().string()}});
}

TEST(Dispatch, StoreRootFollowsTheXdgConvention) {
  TempDir home;
  home.write("xdg/calendars", "a file, so this root is denied");
  home.mkdir("home/.local/share/calendars");
  const std::string xdg = (home.path() / "xdg").string();
  const std::string homeDir = (home.path() / "home").string();
  struct Case {
    testing::EnvOverrides env;
    const char* out;
  };
  const Case cases[] = {
      {{{"XDG_DATA_HOME", xdg}, {"HOME", homeDir}}, kDeniedRecord},
      {{{"XDG_DATA_HOME", ""}, {"HOME", homeDir}}, kGranted},
      {{{"XDG_DATA_HOME", "relative/dir"}, {"HOME", homeDir}}, kGranted},
      {{{"XDG_DATA_HOME", testing::kUnset}, {"HOME", homeDir}}, kGranted},
  };
  for (const Case& c : cases) {
    const RunResult run = runProgram({"status"}, c.env);
    EXPECT_EQ(run.out, c.out) << c.env.front().second;
    EXPECT_EQ(run.status, 0);
  }
}

}  // namespace
}  // namespace velkor
