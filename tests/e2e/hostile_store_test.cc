// Whole runs of the program over stores built to hurt it: broken, huge, endless, looping and
// moving files. Every run must end with status 0, print one line of strict JSON and nothing on
// standard error, and find every good event that lies beside the bad input. Each run's wall time
// and the children's peak resident size are printed ("[ measure ]") and held to generous limits.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../../fuzz/strict_json.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

namespace sj = strict_json;
using testing::runProgram;
using testing::RunResult;
using testing::TempDir;

// AddressSanitizer's shadow memory and quarantine multiply what the program holds.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kMemoryScale = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr double kMemoryScale = 4;
#else
constexpr double kMemoryScale = 1;
#endif
#else
constexpr double kMemoryScale = 1;
#endif

struct Measured {
  RunResult run;
  double seconds = 0;
  double peakMb = 0;  // the peak resident size of the program's process
};

bool writeAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool readAll(int fd, void* data, std::size_t size) {
  char* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = ::read(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Runs the program from a forked helper whose only child it is, so that the helper's view of its
// children's peak resident size is this run's alone; the helper sends everything back on a pipe.
Measured measure(const std::string& what, const std::vector<std::string>& args,
                 const testing::EnvOverrides& env) {
  Measured m;
  int fds[2];
  if (::pipe(fds) != 0) return m;
  const pid_t helper = ::fork();
  if (helper == 0) {
    ::close(fds[0]);
    const auto begin = std::chrono::steady_clock::now();
    const RunResult run = runProgram(args, env);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const std::int64_t header[] = {run.status, usage.ru_maxrss,
                                   static_cast<std::int64_t>(run.out.size()),
                                   static_cast<std::int64_t>(run.err.size())};
    const bool ok = writeAll(fds[1], header, sizeof header) &&
                    writeAll(fds[1], &seconds, sizeof seconds) &&
                    writeAll(fds[1], run.out.data(), run.out.size()) &&
                    writeAll(fds[1], run.err.data(), run.err.size());
    ::_exit(ok ? 0 : 1);
  }
  ::close(fds[1]);
  std::int64_t header[4] = {};
  if (helper > 0 && readAll(fds[0], header, sizeof header) &&
      readAll(fds[0], &m.seconds, sizeof m.seconds)) {
    m.run.out.resize(static_cast<std::size_t>(header[2]));
    m.run.err.resize(static_cast<std::size_t>(header[3]));
    if (readAll(fds[0], m.run.out.data(), m.run.out.size()) &&
        readAll(fds[0], m.run.err.data(), m.run.err.size())) {
      m.run.status = static_cast<int>(header[0]);
      m.peakMb = static_cast<double>(header[1]) / 1024.0;
    }
  }
  ::close(fds[0]);
  if (helper > 0) ::waitpid(helper, nullptr, 0);
  std::printf("[ measure  ] %s: %.2f s, peak %.0f MB\n", what.c_str(), m.seconds, m.peakMb);
  return m;
}

struct Found {
  std::string calendar;
  std::string title;
  std::string start;
  std::string end;
  bool allDay = false;
  std::optional<std::string> location;
};

// The events of an `events` answer, or nothing when it is not exactly one line holding a JSON
// array of event objects with the right members.
std::optional<std::vector<Found>> eventsOf(const std::string& out) {
  if (out.empty() || out.back() != '\n' || out.find('\n') != out.size() - 1) return std::nullopt;
  const std::optional<sj::Value> v = sj::parse(std::string_view(out).substr(0, out.size() - 1));
  if (!v || v->kind != sj::Value::Kind::kArray) return std::nullopt;
  std::vector<Found> found;
  for (const sj::Value& e : v->items) {
    const bool located = e.member("location") != nullptr;
    const std::vector<std::string> keys =
        located
            ? std::vector<std::string>{"allDay", "calendar", "end", "location", "start", "title"}
            : std::vector<std::string>{"allDay", "calendar", "end", "start", "title"};
    if (e.kind != sj::Value::Kind::kObject || e.keys != keys ||
        e.member("allDay")->kind != sj::Value::Kind::kBool) {
      return std::nullopt;
    }
    for (const char* key : {"calendar", "end", "start", "title"}) {
      if (e.member(key)->kind != sj::Value::Kind::kString) return std::nullopt;
    }
    Found f{e.member("calendar")->text, e.member("title")->text,     e.member("start")->text,
            e.member("end")->text,      e.member("allDay")->boolean, std::nullopt};
    if (located) {
      if (e.member("location")->kind != sj::Value::Kind::kString) return std::nullopt;
      f.location = e.member("location")->text;
    }
    found.push_back(std::move(f));
  }
  return found;
}

// The well-formed events that every store here holds beside its bad input, as written and as the
// week of 2026-03-02 in Berlin must report them.
struct GoodEvent {
  const char* file;  // relative to calendars/
  const char* lines;
  const char* title;
  const char* start;
  const char* end;
  bool allDay;
};

const GoodEvent kGood[] = {
    {"good/a-good.ics",
     "DTSTART;TZID=Europe/Berlin:20260303T100000\r\nDTEND;TZID=Europe/Berlin:20260303T110000\r\n",
     "good timed", "2026-03-03T10:00", "2026-03-03T11:00", false},
    {"good/a-good.ics", "DTSTART;VALUE=DATE:20260305\r\n", "good all-day", "2026-03-05T00:00",
     "2026-03-06T00:00", true},
    {"good/z-good.ics", "DTSTART:20260223T090000Z\r\nDURATION:PT30M\r\nRRULE:FREQ=WEEKLY\r\n",
     "good weekly", "2026-03-02T10:00", "2026-03-02T10:30", false},
    {"solo.ics", "DTSTART:20260308T220000Z\r\nDTEND:20260308T225900Z\r\n", "good solo",
     "2026-03-08T23:00", "2026-03-08T23:59", false},
};

std::string calendarText(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//hostile//EN\r\n" + body + "END:VCALENDAR\r\n";
}

std::string eventText(const std::string& uid, const std::string& lines, const std::string& title) {
  return "BEGIN:VEVENT\r\nUID:" + uid + "\r\n" + lines + "SUMMARY:" + title + "\r\nEND:VEVENT\r\n";
}

// Writes the good events; the bad input goes beside them, into calendars/good/ (between the two
// good files in name order) or elsewhere.
void writeGoodEvents(const TempDir& home) {
  std::map<std::string, std::string> files;
  for (const GoodEvent& g : kGood) {
    files[g.file] += eventText(std::string("good-") + g.title, g.lines, g.title);
  }
  for (const auto& [file, body] : files) home.write("calendars/" + file, calendarText(body));
}

testing::EnvOverrides storeEnv(const TempDir& home) {
  return {{"XDG_DATA_HOME", home.path().string()}, {"TZ", "Europe/Berlin"}};
}

Measured searchWeek(const std::string& what, const TempDir& home,
                    const std::string& ids = "good,solo.ics") {
  return measure(what, {"events", "2026-03-02", "2026-03-09", ids}, storeEnv(home));
}

// Status 0, nothing on standard error, one line of JSON; the events in it.
std::vector<Found> answered(const Measured& m) {
  EXPECT_EQ(m.run.status, 0);
  EXPECT_EQ(m.run.err, "");
  const std::optional<std::vector<Found>> found = eventsOf(m.run.out);
  EXPECT_TRUE(found.has_value()) << "not one line of event JSON: " << m.run.out.substr(0, 400);
  return found.value_or(std::vector<Found>{});
}

// Every good event is there once, as written.
void expectGoodEvents(const std::vector<Found>& found) {
  for (const GoodEvent& g : kGood) {
    const std::string calendar =
        std::string(g.file).starts_with("good/") ? std::string("good") : std::string(g.file);
    int seen = 0;
    for (const Found& f : found) {
      if (f.calendar == calendar && f.title == g.title && f.start == g.start && f.end == g.end &&
          f.allDay == g.allDay) {
        ++seen;
      }
    }
    EXPECT_EQ(seen, 1) << g.title;
  }
}

int countTitled(const std::vector<Found>& found, const std::string& title) {
  int n = 0;
  for (const Found& f : found) n += f.title == title ? 1 : 0;
  return n;
}

// One bad file beside the good ones, and how many of its events titled "inner" must be found.
struct ContentCase {
  const char* name;
  std::string content;
  int inner;
};

const std::string kInner =
    eventText("inner", "DTSTART:20260304T120000Z\r\nDTEND:20260304T130000Z\r\n", "inner");

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
  return s;
}

std::string folded(int folds) {
  std::string title = "f";
  for (int i = 0; i < folds; ++i) title += "\r\n x";
  return eventText("fold", "DTSTART:20260304T120000Z\r\n", title);
}

std::string everyControlCharacter() {
  std::string s = "c";
  for (char c = 1; c < 0x20; ++c) {
    if (c != '\n' && c != '\r') s.push_back(c);
  }
  return s + "\x7f";
}

std::vector<ContentCase> contentCases() {
  const std::string inner = calendarText(kInner);
  return {
      {"LfOnlyLineEnds", replaceAll(inner, "\r\n", "\n"), 1},
      {"CrOnlyLineEnds", replaceAll(inner, "\r\n", "\r"), 1},
      {"Utf8ByteOrderMark", "\xEF\xBB\xBF" + inner, 1},
      {"ByteOrderMarkAndCrOnlyLineEnds", "\xEF\xBB\xBF" + replaceAll(inner, "\r\n", "\r"), 1},
      {"CrOnlyAfterAStrayLine", "X-JUNK:1\r" + replaceAll(kInner, "\r\n", "\r"), 1},
      // Bytes after a NUL are not read: the calendar is cut short there, its complete events stay.
      {"NulBytes",
       calendarText(kInner + "BEGIN:VEVENT\r\nUID:n\r\nDTSTART:20260304T120000Z\r\nSUMMARY:x" +
                    std::string(1, '\0') + "y\r\nEND:VEVENT\r\n"),
       1},
      {"NulAtTheStart", std::string(1, '\0') + inner, 0},
      // A calendar that never ends keeps the events that do.
      {"CutShortAfterAnEvent",
       "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + kInner + "BEGIN:VEVENT\r\nUID:cut\r\nDTSTART:2026",
       1},
      {"CutShortInsideAZone", "BEGIN:VCALENDAR\r\n" + kInner + "BEGIN:VTIMEZONE\r\nTZID:X\r\n", 1},
      {"CutShortWithCrOnlyLineEnds", "BEGIN:VCALENDAR\r" + replaceAll(kInner, "\r\n", "\r"), 1},
      {"CutShortAfterEndOfEventWithoutLineEnd",
       [] {
         std::string text = "BEGIN:VCALENDAR\n" + replaceAll(kInner, "\r\n", "\n");
         text.pop_back();
         return text;
       }(),
       1},
      {"MissingEndLines",
       "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:i\r\nDTSTART:20260304T120000Z\r\nSUMMARY:inner\r\n",
       0},
      {"MissingEndOfEvent",
       "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:i\r\nDTSTART:20260304T120000Z\r\nSUMMARY:inner\r\n"
       "END:VCALENDAR\r\n",
       0},
      {"EndBeforeBegin", "END:VEVENT\r\nEND:VCALENDAR\r\n" + inner, 1},
      {"DeeplyFoldedTitle", calendarText(folded(100000)), 0},
      {"ThreeMegabyteLine",
       calendarText(eventText("long", "DTSTART:20260304T120000Z\r\n", std::string(3 << 20, 'L'))),
       0},
      {"ComponentsNestedDeeply",
       "BEGIN:VCALENDAR\r\n" + replaceAll(std::string(50000, '.'), ".", "BEGIN:X-A\r\n") + kInner,
       0},
      {"ControlCharactersInTitle",
       calendarText(eventText("ctl", "DTSTART:20260304T120000Z\r\n", everyControlCharacter())), 0},
      {"NotICalendarAtAll", std::string(4096, '\xFF'), 0},
      {"RuleLibicalRejects",
       calendarText(eventText("r", "DTSTART:20260304T120000Z\r\nRRULE:FREQ=SOMETIMES;BYDAY=XX\r\n",
                              "inner")),
       1},
  };
}

void PrintTo(const ContentCase& c, std::ostream* os) { *os << c.name; }

class HostileContent : public ::testing::TestWithParam<ContentCase> {};

TEST_P(HostileContent, CostsOnlyItself) {
  const ContentCase& c = GetParam();
  TempDir home;
  writeGoodEvents(home);
  home.write("calendars/good/m-bad.ics", c.content);
  const Measured m = searchWeek(c.name, home);
  const std::vector<Found> found = answered(m);
  expectGoodEvents(found);
  EXPECT_EQ(countTitled(found, "inner"), c.inner);
  EXPECT_LT(m.seconds, 60);
  EXPECT_LT(m.peakMb, 512 * kMemoryScale);
}

INSTANTIATE_TEST_SUITE_P(HostileStore, HostileContent, ::testing::ValuesIn(contentCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileStore, TitlesKeepTheirControlCharactersAndFoldedText) {
  TempDir home;
  writeGoodEvents(home);
  home.write(
      "calendars/good/m-bad.ics",
      calendarText(eventText("ctl", "DTSTART:20260304T120000Z\r\n", everyControlCharacter()) +
                   folded(20000)));
  const std::vector<Found> found = answered(searchWeek("control characters and folds", home));
  expectGoodEvents(found);
  EXPECT_EQ(countTitled(found, everyControlCharacter()), 1);
  EXPECT_EQ(countTitled(found, "f" + std::string(20000, 'x')), 1);
}

// 200 MB of ordinary events years before the window, with one event inside it at the very end.
TEST(HostileStore, TwoHundredMegabyteFile) {
  TempDir home;
  writeGoodEvents(home);
  {
    std::ofstream out(home.path() / "calendars/good/m-huge.ics", std::ios::binary);
    out << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    std::size_t written = 0;
    char buffer[512];
    for (int i = 0; written < (200u << 20); ++i) {
      const int n = std::snprintf(
          buffer, sizeof buffer,
          "BEGIN:VEVENT\r\nUID:old-%d\r\nDTSTART:2019%02d%02dT100000Z\r\n"
          "DTEND:2019%02d%02dT110000Z\r\nSUMMARY:Old meeting %d\r\nDESCRIPTION:Lorem ipsum "
          "dolor sit amet\\, consectetur adipiscing elit\\, sed do eiusmod tempor.\r\n"
          "END:VEVENT\r\n",
          i, i % 12 + 1, i % 28 + 1, i % 12 + 1, i % 28 + 1, i);
      out.write(buffer, n);
      written += static_cast<std::size_t>(n);
    }
    out << kInner << "END:VCALENDAR\r\n";
    ASSERT_TRUE(out.good());
  }
  const Measured m = searchWeek("200 MB file", home);
  const std::vector<Found> found = answered(m);
  expectGoodEvents(found);
  EXPECT_EQ(countTitled(found, "inner"), 1);
  EXPECT_LT(m.seconds, 120);
  // Read a few megabytes of events at a time: the text itself is most of this.
  EXPECT_LT(m.peakMb, 512 * kMemoryScale);
}

// Lines of many megabytes: a 16 MB DESCRIPTION, and an 8 MB file whose lines end in CR alone.
// Reading them must take time in proportion to their size.
TEST(HostileStore, LongLinesAndCrOnlyFilesReadInLinearTime) {
  struct Case {
    const char* name;
    std::string content;
  };
  std::string crOnly;
  for (int i = 0; crOnly.size() < (8u << 20); ++i) {
    crOnly += "BEGIN:VEVENT\rUID:old-" + std::to_string(i) +
              "\rDTSTART:20190301T100000Z\rSUMMARY:old\rEND:VEVENT\r";
  }
  const Case cases[] = {
      {"16 MB DESCRIPTION line", calendarText(eventText("long",
                                                        "DTSTART:20260304T120000Z\r\nDESCRIPTION:" +
                                                            std::string(16u << 20, 'D') + "\r\n",
                                                        "inner"))},
      {"8 MB of CR-only lines",
       "BEGIN:VCALENDAR\r" + crOnly + replaceAll(kInner, "\r\n", "\r") + "END:VCALENDAR\r"},
  };
  for (const Case& c : cases) {
    TempDir home;
    writeGoodEvents(home);
    home.write("calendars/good/m-long.ics", c.content);
    const Measured m = searchWeek(c.name, home);
    const std::vector<Found> found = answered(m);
    expectGoodEvents(found);
    EXPECT_EQ(countTitled(found, "inner"), 1) << c.name;
    EXPECT_LT(m.seconds, 10) << c.name;
    EXPECT_LT(m.peakMb, 512 * kMemoryScale) << c.name;
  }
}

// 100,000 events of one hour, one every five minutes from 2026-01-01T00:00Z.
TEST(HostileStore, HundredThousandEventsInOneFile) {
  TempDir home;
  writeGoodEvents(home);
  std::string body;
  constexpr int kCount = 100000;
  const auto first = std::chrono::sys_days(std::chrono::year(2026) / 1 / 1);
  const auto from = std::chrono::sys_days(std::chrono::year(2026) / 3 / 2) - std::chrono::hours(1);
  const auto to = std::chrono::sys_days(std::chrono::year(2026) / 3 / 9) - std::chrono::hours(1);
  int inWindow = 0;
  for (int i = 0; i < kCount; ++i) {
    const auto start = first + std::chrono::minutes(5 * i);
    const auto end = start + std::chrono::hours(1);
    if (start < to && end > from) ++inWindow;
    const std::time_t s = std::chrono::system_clock::to_time_t(start);
    std::tm tm{};
    ::gmtime_r(&s, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &tm);
    body += eventText("many-" + std::to_string(i),
                      std::string("DTSTART:") + stamp + "\r\nDURATION:PT1H\r\n", "many");
  }
  home.write("calendars/good/m-many.ics", calendarText(body));
  const Measured m = searchWeek("100,000 events in one file", home);
  const std::vector<Found> found = answered(m);
  expectGoodEvents(found);
  EXPECT_EQ(countTitled(found, "many"), inWindow);
  EXPECT_LT(m.seconds, 60);
  EXPECT_LT(m.peakMb, 1024 * kMemoryScale);
}

// Rules without end, finer than any calendar needs, over the longest window: each rule stops at
// the search's cap of 100,000 occurrences.
TEST(HostileStore, EndlessSecondlyAndMinutelyRulesOverTheLongestWindow) {
  constexpr int kCapPerRule = 100000;
  struct Rule {
    const char* name;
    const char* lines;
  };
  const Rule rules[] = {
      {"secondly", "DTSTART:20260101T000000Z\r\nRRULE:FREQ=SECONDLY\r\n"},
      {"minutely since 2000",
       "DTSTART:20000101T000000Z\r\nDURATION:PT1M\r\nRRULE:FREQ=MINUTELY\r\n"},
      {"secondly in Berlin",
       "DTSTART;TZID=Europe/Berlin:20251231T000000\r\nRRULE:FREQ=SECONDLY;INTERVAL=7\r\n"},
  };
  for (const Rule& r : rules) {
    TempDir home;
    writeGoodEvents(home);
    home.write("calendars/good/m-rule.ics", calendarText(eventText("r", r.lines, r.name)));
    const Measured m =
        measure(r.name, {"events", "2026-01-01", "2100-01-01", "good,solo.ics"}, storeEnv(home));
    const std::vector<Found> found = answered(m);
    expectGoodEvents(found);
    const int n = countTitled(found, r.name);
    EXPECT_GT(n, 0) << r.name;
    EXPECT_LE(n, kCapPerRule) << r.name;
    EXPECT_LT(m.seconds, 60) << r.name;
    EXPECT_LT(m.peakMb, 1024 * kMemoryScale) << r.name;
  }
}

TEST(HostileStore, RecursiveAndDanglingSymbolicLinks) {
  TempDir home;
  writeGoodEvents(home);
  namespace fs = std::filesystem;
  const fs::path root = home.path() / "calendars";
  fs::create_directory_symlink(root, root / "loop");                     // the root inside itself
  fs::create_directory_symlink(root / "good", root / "good/again.ics");  // a calendar in itself
  fs::create_symlink(root / "good/self.ics", root / "good/self.ics");    // a link to itself
  fs::create_symlink(root / "ping.ics", root / "pong.ics");              // a pair of links
  fs::create_symlink(root / "pong.ics", root / "ping.ics");
  fs::create_symlink(home.path() / "nowhere.ics", root / "good/gone.ics");
  fs::create_symlink(home.path() / "nowhere", root / "gone");
  home.write("elsewhere/linked.ics", calendarText(kInner));
  fs::create_symlink(home.path() / "elsewhere/linked.ics", root / "good/m-linked.ics");

  const Measured m = searchWeek("symbolic links", home, "good,solo.ics,loop,pong.ics,gone");
  const std::vector<Found> found = answered(m);
  expectGoodEvents(found);
  EXPECT_EQ(countTitled(found, "inner"), 1);  // a link to a regular file is read
  const Measured listing = measure("symbolic links, listing", {"calendars"}, storeEnv(home));
  EXPECT_EQ(listing.run.status, 0);
  EXPECT_EQ(listing.run.err, "");
  EXPECT_TRUE(sj::parse(listing.run.out).has_value()) << listing.run.out;
}

// A reader that blocks on a FIFO would hang the host. The watchdog opens each FIFO for writing
// without blocking, which succeeds only while somebody has it open for reading, and closes it at
// once so that such a reader sees the end and the run can finish.
TEST(HostileStore, DirectoryAndFifoNamedLikeCalendarFiles) {
  TempDir home;
  writeGoodEvents(home);
  const std::filesystem::path root = home.path() / "calendars";
  home.mkdir("calendars/good/m-dir.ics");
  home.write("calendars/good/m-dir.ics/inner.ics", calendarText(kInner));
  home.mkdir("calendars/dir.ics");
  const std::vector<std::filesystem::path> fifos{root / "good/m-fifo.ics", root / "fifo.ics"};
  for (const auto& f : fifos) ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0);

  std::atomic<bool> done{false};
  std::atomic<int> readers{0};
  std::thread watchdog([&] {
    while (!done) {
      for (const auto& f : fifos) {
        const int fd = ::open(f.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
          ++readers;
          ::close(fd);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const Measured m = searchWeek("directory and FIFO named *.ics", home, "good,solo.ics,fifo.ics");
  const Measured listing = measure("FIFO listing", {"calendars"}, storeEnv(home));
  done = true;
  watchdog.join();
  const std::vector<Found> found = answered(m);
  expectGoodEvents(found);
  EXPECT_EQ(countTitled(found, "inner"), 0);  // nothing deeper than a calendar's files
  EXPECT_EQ(readers.load(), 0) << "a FIFO was opened for reading";
  EXPECT_EQ(listing.run.status, 0);
  EXPECT_TRUE(sj::parse(listing.run.out).has_value());
}

// Best effort: files of one calendar are removed, rewritten, truncated and replaced by other
// kinds of entries while runs read the store. The calendar that is left alone is always whole.
TEST(HostileStore, FilesVanishingAndChangingDuringTheRun) {
  TempDir home;
  writeGoodEvents(home);
  const std::filesystem::path moving = home.path() / "calendars/moving";
  constexpr int kFiles = 400;
  const std::string content = calendarText(kInner);
  for (int i = 0; i < kFiles; ++i)
    home.write("calendars/moving/" + std::to_string(i) + ".ics", content);

  std::atomic<bool> done{false};
  std::thread churn([&] {
    std::error_code ec;
    for (unsigned n = 0; !done; ++n) {
      const std::filesystem::path f = moving / (std::to_string(n % kFiles) + ".ics");
      switch (n % 5) {
        case 0:
          std::filesystem::remove(f, ec);
          break;
        case 1:
          home.write("calendars/moving/" + f.filename().string(), content.substr(0, n % 97));
          break;
        case 2:
          std::filesystem::remove(f, ec);
          std::filesystem::create_directory(f, ec);
          break;
        case 3:
          std::filesystem::remove_all(f, ec);
          ::mkfifo(f.c_str(), 0600);
          break;
        default:
          std::filesystem::remove(f, ec);
          home.write("calendars/moving/" + f.filename().string(), content);
      }
    }
  });
  for (int run = 0; run < 10; ++run) {
    const Measured m =
        searchWeek("files changing, run " + std::to_string(run), home, "good,solo.ics,moving");
    const std::vector<Found> found = answered(m);
    expectGoodEvents(found);
    EXPECT_LE(countTitled(found, "inner"), kFiles);
  }
  done = true;
  churn.join();
}

// Calendar directories named with every control character (and titles made of them): the listing
// and the events must stay valid JSON, and each identifier the listing gives must select its
// calendar.
TEST(HostileStore, IdentifiersAndTitlesWithEveryControlCharacter) {
  TempDir home;
  std::map<std::string, std::string> titleOf;  // calendar identifier -> event title
  for (int c = 1; c < 0x80; c = c == 0x1F ? 0x7F : c + 1) {
    const std::string name = std::string("c") + static_cast<char>(c) + "x";
    // A line break cannot stand raw in an iCalendar value: LF is written escaped, CR not at all.
    const std::string written = c == '\n'   ? "\\n"
                                : c == '\r' ? ""
                                            : std::string(1, static_cast<char>(c));
    titleOf[name] =
        "in " + (c == '\r' ? std::string() : std::string(1, static_cast<char>(c))) + " x";
    home.write("calendars/" + name + "/displayname", name + "\n");
    home.write(
        "calendars/" + name + "/e.ics",
        calendarText(eventText("e", "DTSTART:20260304T120000Z\r\n", "in " + written + " x")));
  }
  const Measured listing = measure("control characters, listing", {"calendars"}, storeEnv(home));
  ASSERT_EQ(listing.run.status, 0);
  EXPECT_EQ(listing.run.err, "");
  const std::optional<sj::Value> calendars =
      sj::parse(std::string_view(listing.run.out).substr(0, listing.run.out.size() - 1));
  ASSERT_TRUE(calendars.has_value()) << listing.run.out;
  ASSERT_EQ(calendars->items.size(), titleOf.size());
  std::string ids;
  for (const sj::Value& c : calendars->items) {
    const sj::Value* id = c.member("id");
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(titleOf.count(id->text), 1u) << id->text;
    ids += (ids.empty() ? "" : ",") + id->text;
  }
  const Measured m = measure("control characters, events",
                             {"events", "2026-03-02", "2026-03-09", ids}, storeEnv(home));
  const std::vector<Found> found = answered(m);
  EXPECT_EQ(found.size(), titleOf.size());
  for (const Found& f : found) EXPECT_EQ(f.title, titleOf[f.calendar]) << f.calendar;
}

}  // namespace
}  // namespace velkor
