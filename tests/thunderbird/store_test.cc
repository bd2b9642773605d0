// The whole program over a copy of a profile Thunderbird 153 wrote (tests/thunderbird/profile; its
// listing and windows are compared with Thunderbird's own lists by tb_test.py): recent changes held
// in the -wal of a database another process holds exclusively, and bad input. Every run ends with status 0, one line of JSON and
// nothing on standard error; the profile's files are never changed and no copy is left behind.
#include <sqlite3.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "../../fuzz/strict_json.h"
#include "base/files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "thunderbird/snapshot.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

const std::string kLocal = "/thunderbird/1f22670d-ee3d-4485-b655-6f4c2a27e801";
const std::string kCached = "/thunderbird/51d7819a-22cf-48ae-a813-0f305fe75784";
const std::string kProfileDir = ".thunderbird/deczfha6.default-default";

// A home holding a copy of the real profile, and a temporary directory of the program's own.
struct Home {
  TempDir dir;
  fs::path home = dir.path() / "home";
  fs::path tmp = dir.path() / "tmp";
  fs::path profile = home / kProfileDir;

  Home() {
    fs::create_directories(home);
    fs::copy(fs::path(VELKOR_SOURCE_DIR) / "tests/thunderbird/profile/.thunderbird",
             home / ".thunderbird", fs::copy_options::recursive);
    fs::create_directories(tmp);
    // A file-store calendar beside them: the joined store answers from both, and a listing is
    // never empty (an empty one is asked again after a pause).
    dir.write("data/calendars/personal/a.ics",
              "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:a\r\nDTSTART:20260310T100000Z\r\n"
              "SUMMARY:From the file store\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
  }
  fs::path db(const char* name) const { return profile / "calendar-data" / name; }

  testing::RunResult run(const std::vector<std::string>& args,
                         const std::string& tmpdir = {}) const {
    return testing::runProgram(args, {{"HOME", home.string()},
                                      {"XDG_DATA_HOME", (dir.path() / "data").string()},
                                      {"TMPDIR", tmpdir.empty() ? tmp.string() : tmpdir},
                                      {"TZ", "Europe/Berlin"}});
  }
};

// Every file below `root` with its bytes and modification time.
std::map<fs::path, std::pair<std::string, long long>> filesBelow(const fs::path& root) {
  std::map<fs::path, std::pair<std::string, long long>> out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    struct stat st {};
    if (::lstat(e.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    out[e.path()] = {readSmallFile(e.path(), 64 << 20).value_or("?"),
                     st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
  }
  return out;
}

// The records of a run's JSON line, each as its members joined; fails the test when the run did
// not answer well.
std::vector<std::string> records(const testing::RunResult& r) {
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::optional<strict_json::Value> v = strict_json::parseLine(r.out);
  EXPECT_TRUE(v) << r.out;
  std::vector<std::string> out;
  if (!v) return out;
  for (const strict_json::Value& item : v->items) {
    std::string text;
    for (std::size_t i = 0; i < item.keys.size(); ++i) {
      text += item.keys[i] + "=" +
              (item.items[i].kind == strict_json::Value::Kind::kBool
                   ? std::string(item.items[i].boolean ? "true" : "false")
                   : item.items[i].text) +
              ";";
    }
    out.push_back(text);
  }
  return out;
}

std::string memberOf(const std::string& record, const std::string& key) {
  const std::size_t at = record.find(key + "=");
  if (at == std::string::npos) return {};
  const std::size_t from = at + key.size() + 1;
  return record.substr(from, record.find(';', from) - from);
}

void execute(const fs::path& db, const std::string& sql) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
  const Connection c(raw);
  ASSERT_EQ(sqlite3_exec(c.get(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
}

// The day `n` days after 2026-01-01, as the command line writes it.
std::string dayOf2026(int n) {
  std::tm t{};
  t.tm_year = 126;
  t.tm_mday = 1 + n;
  t.tm_hour = 12;
  std::mktime(&t);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &t);
  return text;
}

const std::vector<std::string> kYear = {"events", "2026-01-01", "2027-01-01",
                                        kLocal + "," + kCached + ",personal"};

// The benchmark's generator writes the same events as Thunderbird's rows and as .ics files: both
// stores answer alike, in two zones, for weeks around the changes of clock and for a year.
TEST(ThunderbirdStore, AnswersAsTheFileStoreOverTheSameEvents) {
  const TempDir home;
  const std::string make = "python3 '" VELKOR_SOURCE_DIR "/bench/make_thunderbird_profile.py' '" +
                           home.path().string() + "' --events 1500 --seed 7 --floating 0.5";
  ASSERT_EQ(std::system(make.c_str()), 0);
  const std::map<std::string, std::string> same = {
      {"/thunderbird/5b0c1a3e-0000-4000-8000-00000000a001", "tb/Bench Local"},
      {"/thunderbird/5b0c1a3e-0000-4000-8000-00000000b002", "tb/Bench Team"}};
  std::string tb, files;
  for (const auto& [id, path] : same) {
    tb += (tb.empty() ? "" : ",") + id;
    files += (files.empty() ? "" : ",") + path;
  }
  std::size_t compared = 0;
  for (const char* zone : {"Europe/Berlin", "America/New_York"}) {
    const testing::EnvOverrides env = {{"HOME", home.path().string()},
                                       {"XDG_DATA_HOME", (home.path() / "data").string()},
                                       {"TZ", zone}};
    // Single days too: floating times stored as if UTC sit hours away from their instant.
    std::vector<std::pair<std::string, std::string>> windows = {{"2026-01-01", "2027-01-01"},
                                                                {"2025-03-24", "2025-04-07"},
                                                                {"2025-10-20", "2025-11-10"},
                                                                {"2024-02-26", "2024-03-04"}};
    for (int day = 0; day < 360; day += 30)
      windows.emplace_back(dayOf2026(day), dayOf2026(day + 1));
    for (const auto& [from, to] : windows) {
      SCOPED_TRACE(std::string(zone) + " " + from);
      std::vector<std::string> fromTb = records(testing::runProgram({"events", from, to, tb}, env));
      for (std::string& e : fromTb) {
        const std::string id = memberOf(e, "calendar");
        e = testing::replaced(e, "calendar=" + id + ";", "calendar=" + same.at(id) + ";");
      }
      std::vector<std::string> fromFiles =
          records(testing::runProgram({"events", from, to, files}, env));
      // Events of equal start and title follow their store's own order, which differs.
      std::sort(fromTb.begin(), fromTb.end());
      std::sort(fromFiles.begin(), fromFiles.end());
      EXPECT_EQ(fromTb, fromFiles);
      compared += fromFiles.size();
    }
  }
  EXPECT_GT(compared, 2000u);
}

// Thunderbird running: the database held exclusively, its latest change only in the -wal.
TEST(ThunderbirdStore, ReadsChangesHeldInTheWalOfALockedDatabase) {
  const Home h;
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(h.db("local.sqlite").c_str(), &raw), SQLITE_OK);
  const Connection held(raw);
  ASSERT_EQ(sqlite3_exec(held.get(),
                         "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; "
                         "PRAGMA locking_mode=EXCLUSIVE; "
                         "UPDATE cal_events SET title = 'Renamed in the WAL' "
                         "WHERE title = 'Holiday';",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  ASSERT_TRUE(fs::exists(h.db("local.sqlite-wal")));
  const auto before = filesBelow(h.home);
  const std::vector<std::string> year = records(h.run(kYear));
  EXPECT_EQ(filesBelow(h.home), before);
  std::map<std::string, int> titles;
  for (const std::string& e : year) ++titles[memberOf(e, "title")];
  EXPECT_EQ(titles["Holiday"], 0);
  EXPECT_GT(titles["Renamed in the WAL"], 0);
  EXPECT_TRUE(fs::is_empty(h.tmp));
}

// Without a usable $TMPDIR the copies go to /tmp.
TEST(ThunderbirdStore, CopiesWithoutAUsableTmpdir) {
  const Home h;
  EXPECT_EQ(records(h.run(kYear, "/nonexistent/tmp")), records(h.run(kYear)));
  EXPECT_EQ(records(h.run({"calendars"}, "/nonexistent/tmp")).size(), 3u);
}

// Bad input leaves out the calendar (or the store) it touches; the rest answers as before.
TEST(ThunderbirdStore, BadInputLeavesOutWhatItTouches) {
  const Home intact;
  const std::vector<std::string> all = records(intact.run(kYear));
  struct Case {
    const char* name;
    std::function<void(const Home&)> spoil;
    std::set<std::string> listed;
  };
  auto write = [](const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
  };
  const std::vector<Case> cases = {
      {"intact", [](const Home&) {}, {kLocal, kCached}},
      {"prefs.js missing", [](const Home& h) { fs::remove(h.profile / "prefs.js"); }, {}},
      {"prefs.js garbled around the calendar lines",
       [&](const Home& h) {
         std::string text = *readSmallFile(h.profile / "prefs.js", 1 << 20);
         text = testing::replaced(
             text, "\nuser_pref(\"calendar.registry.",
             std::string("\n\xff\x00garbage(\"\n", 13) + "user_pref(\"calendar.registry.");
         write(h.profile / "prefs.js", text + "user_pref(\"calendar.registry.x.type\", \"sto");
       },
       {kLocal, kCached}},
      {"prefs.js a FIFO",
       [](const Home& h) {
         fs::remove(h.profile / "prefs.js");
         ASSERT_EQ(::mkfifo((h.profile / "prefs.js").c_str(), 0600), 0);
       },
       {}},
      {"installs.ini and profiles.ini garbled",
       [&](const Home& h) {
         write(h.home / ".thunderbird/installs.ini", "[X\nDefault");
         write(h.home / ".thunderbird/profiles.ini", "\x01\x02");
       },
       {}},
      {"unknown schema version",
       [](const Home& h) {
         execute(h.db("local.sqlite"), "UPDATE cal_calendar_schema_version SET version = 99");
       },
       {kCached}},
      {"truncated database",
       [](const Home& h) { fs::resize_file(h.db("local.sqlite"), 100 * 1024); },
       {kCached}},
      {"pages overwritten",
       [](const Home& h) {
         std::fstream f(h.db("local.sqlite"), std::ios::in | std::ios::out | std::ios::binary);
         f.seekp(12 * 32768);  // a page in the middle of the file
         f << std::string(32768, '\xaa');
       },
       {kCached}},
      {"not a database",
       [&](const Home& h) { write(h.db("cache.sqlite"), "BEGIN:VCALENDAR"); },
       {kLocal}},
      {"database missing", [](const Home& h) { fs::remove(h.db("cache.sqlite")); }, {kLocal}},
      {"database a FIFO",
       [](const Home& h) {
         fs::remove(h.db("local.sqlite"));
         ASSERT_EQ(::mkfifo(h.db("local.sqlite").c_str(), 0600), 0);
       },
       {kCached}},
      {"a garbled -wal beside the database",
       [&](const Home& h) { write(h.db("local.sqlite-wal"), std::string(5000, 'x')); },
       {kLocal, kCached}},
      {"calendar-data a file",
       [&](const Home& h) {
         fs::remove_all(h.profile / "calendar-data");
         write(h.profile / "calendar-data", "");
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Home h;
    c.spoil(h);
    const auto before = filesBelow(h.home);
    std::set<std::string> listed, expected = c.listed;
    expected.insert("personal");
    for (const std::string& r : records(h.run({"calendars"}))) listed.insert(memberOf(r, "id"));
    EXPECT_EQ(listed, expected);
    std::vector<std::string> want;
    for (const std::string& e : all) {
      if (expected.contains(memberOf(e, "calendar"))) want.push_back(e);
    }
    EXPECT_EQ(records(h.run(kYear)), want);
    EXPECT_EQ(filesBelow(h.home), before);
    EXPECT_TRUE(fs::is_empty(h.tmp));
  }
}

// A database that changes while it is copied is copied again, and left out when it keeps changing.
TEST(ThunderbirdStore, CopiesAgainWhileTheDatabaseChanges) {
  const Home h;
  const fs::path db = h.db("local.sqlite");
  for (const int changes : {0, 1, kCopyTries - 1, kCopyTries, 100}) {
    SCOPED_TRACE(changes);
    int calls = 0;
    fs::path folder;
    {
      const std::optional<Snapshot> s = snapshotDatabase(db, [&] {
        if (calls++ < changes) std::ofstream(db.string() + "-wal", std::ios::app) << "x";
      });
      EXPECT_EQ(s.has_value(), changes < kCopyTries);
      EXPECT_EQ(calls, std::min(changes + 1, kCopyTries));
      if (s) {
        folder = s->folder->path();
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
        EXPECT_EQ(s->schemaVersion, 23);
      }
    }
    if (!folder.empty()) {
      EXPECT_FALSE(fs::exists(folder));
    }
    fs::remove(db.string() + "-wal");
  }
}

}  // namespace
}  // namespace velkor
