// Whole runs over stores too large or too lively for a case file: huge files and lines, endless
// rules, files changing during the run. Every run must end with status 0, print one line of the
// program's JSON and nothing on standard error, and find the good events beside the bad
// input; wall time and peak resident size are printed and held to generous limits.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <thread>

#include "../../fuzz/strict_json.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using testing::replaced;
using testing::TempDir;

// AddressSanitizer's shadow memory and quarantine multiply what the program holds.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kMemoryScale = 4;
#elif defined(__has_feature)
constexpr double kMemoryScale = __has_feature(address_sanitizer) ? 4 : 1;
#else
constexpr double kMemoryScale = 1;
#endif

std::string ics(const std::string& body) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + body + "END:VCALENDAR\r\n";
}
std::string event(const std::string& uid, const std::string& lines, const std::string& title) {
  return "BEGIN:VEVENT\r\nUID:" + uid + "\r\n" + lines + "SUMMARY:" + title + "\r\nEND:VEVENT\r\n";
}
const std::string kInner = event("inner", "DTSTART:20260304T120000Z\r\n", "inner");

// The good events written beside every bad input, as the week of 2026-03-02 in Berlin shows them.
void writeGood(const TempDir& home) {
  home.write(
      "calendars/good/a-good.ics",
      ics(event("t", "DTSTART;TZID=Europe/Berlin:20260303T100000\r\nDURATION:PT1H\r\n", "timed") +
          event("d", "DTSTART;VALUE=DATE:20260305\r\n", "all-day")));
  home.write("calendars/good/z-good.ics",
             ics(event("w", "DTSTART:20260223T090000Z\r\nDURATION:PT30M\r\nRRULE:FREQ=WEEKLY\r\n",
                       "weekly")));
  home.write("calendars/solo.ics", ics(event("s", "DTSTART:20260308T220000Z\r\n", "solo")));
}
const char* const kGood[] = {
    R"({"allDay":false,"calendar":"good","end":"2026-03-02T10:30","start":"2026-03-02T10:00","title":"weekly"})",
    R"({"allDay":false,"calendar":"good","end":"2026-03-03T11:00","start":"2026-03-03T10:00","title":"timed"})",
    R"({"allDay":true,"calendar":"good","end":"2026-03-06T00:00","start":"2026-03-05T00:00","title":"all-day"})",
    R"({"allDay":false,"calendar":"solo.ics","end":"2026-03-08T23:00","start":"2026-03-08T23:00","title":"solo"})"};

struct Limits {
  double seconds = 60, megabytes = 512;
};
// Runs the program; checks status 0, empty standard error, one line of the program's JSON holding
// every good event once and the limits. Gives how many events titled `title` it found.
int run(const TempDir& home, const std::string& what, const std::string& title, Limits limits = {},
        std::vector<std::string> args = {"events", "2026-03-02", "2026-03-09", "good,solo.ics"}) {
  const auto begin = std::chrono::steady_clock::now();
  const testing::RunResult r =
      testing::runProgram(args, {{"XDG_DATA_HOME", home.path().string()}, {"TZ", "Europe/Berlin"}});
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
  std::printf("[ measure  ] %s: %.2f s, peak %.0f MB\n", what.c_str(), took.count(), r.peakMb);
  EXPECT_EQ(r.status, 0) << what;
  EXPECT_EQ(r.err, "") << what;
  EXPECT_LT(took.count(), limits.seconds) << what;
  EXPECT_LT(r.peakMb, limits.megabytes * kMemoryScale) << what;
  const auto v = strict_json::parseLine(r.out);
  EXPECT_TRUE(v) << r.out.substr(0, 300);
  if (args[0] != "events" || !v) return 0;
  for (const char* g : kGood) EXPECT_NE(r.out.find(g), std::string::npos) << what << ": " << g;
  int n = 0;
  for (const strict_json::Value& e : v->items) {
    EXPECT_EQ(e.keys.size(), e.member("location") ? 6u : 5u) << what;
    n += e.member("title") && e.member("title")->text == title;
  }
  return n;
}

// Events long before the window, `size` bytes of them.
std::string oldEvents(size_t size) {
  std::string out;
  char buffer[256];
  for (int i = 0; out.size() < size; ++i) {
    out.append(buffer,
               std::snprintf(buffer, sizeof buffer,
                             "BEGIN:VEVENT\r\nUID:old-%d\r\nDTSTART:2019%02d%02dT100000Z\r\n"
                             "SUMMARY:Old %d\r\nDESCRIPTION:Lorem ipsum dolor sit amet\\, "
                             "consectetur adipiscing elit.\r\nEND:VEVENT\r\n",
                             i, i % 12 + 1, i % 28 + 1, i));
  }
  return out;
}

// The bad file of each large input, written beside the good ones.
std::string largeInput(int which) {
  const std::string dots(100000, '.');
  const std::string lines = "DTSTART:20260304T120000Z\r\n";
  switch (which) {
    case 0:
      return ics(oldEvents(200u << 20) + kInner);
    case 1:
      return ics(
          event("inner", lines + "DESCRIPTION:" + std::string(16u << 20, 'D') + "\r\n", "inner"));
    case 2:
      return replaced(ics(oldEvents(8u << 20) + kInner), "\r\n", "\r");
    case 3:
      return ics(kInner + event("f", lines, "f" + replaced(dots, ".", "\r\n x")));
    default:
      return "BEGIN:VCALENDAR\r\n" + replaced(dots.substr(0, 50000), ".", "BEGIN:X-A\r\n") + kInner;
  }
}

TEST(HostileStore, LargeInputsCostOnlyThemselves) {
  // Name, events titled "inner" to be found, limits.
  const std::tuple<const char*, int, Limits> inputs[] = {
      {"200 MB file", 1, {30, 64}},
      {"16 MB line", 1, {10, 512}},
      {"8 MB of CR-only lines", 1, {10, 512}},
      {"100,000 folds", 1, {60, 512}},
      {"50,000 nested components", 0, {60, 512}}};
  for (int i = 0; i < 5; ++i) {
    const auto& [name, inner, limits] = inputs[i];
    TempDir home;
    writeGood(home);
    home.write("calendars/good/m-bad.ics", largeInput(i));
    EXPECT_EQ(run(home, name, "inner", limits), inner) << name;
  }
}

// Rules without end, finer than any calendar needs, over the longest window: each stops at the
// cap of 100,000 occurrences.
TEST(HostileStore, EndlessRulesOverTheLongestWindow) {
  for (const char* rule :
       {"DTSTART:20260101T000000Z\r\nRRULE:FREQ=SECONDLY\r\n",
        "DTSTART:20000101T000000Z\r\nDURATION:PT1M\r\nRRULE:FREQ=MINUTELY\r\n",
        "DTSTART;TZID=Europe/Berlin:20251231T000000\r\nRRULE:FREQ=SECONDLY;INTERVAL=7\r\n"}) {
    TempDir home;
    writeGood(home);
    home.write("calendars/good/m-rule.ics", ics(event("r", rule, "rule")));
    const int n = run(home, "endless rule", "rule", {60, 1024},
                      {"events", "2026-01-01", "2100-01-01", "good,solo.ics"});
    EXPECT_GT(n, 80000) << rule;  // the cap, less what the rule yields before the window
    EXPECT_LE(n, 100000) << rule;
  }
}

// 399 endless daily series over four years give 582,939 occurrences; the answer holds the first
// 500,000 by start and then title: 1,253 whole days and the first 53 of the next, though the
// store lists the series that come last first.
TEST(HostileStore, EndlessDailySeriesOverTheCap) {
  TempDir home;
  for (int i = 0; i < 399; ++i) {
    char title[8], file[64];
    std::snprintf(title, sizeof title, "t%03d", i);
    std::snprintf(file, sizeof file, "calendars/%s/f%03d.ics", i >= 200 ? "a" : "b", 398 - i);
    const std::string start = i % 2 == 1 ? "080000" : "090000";
    home.write(file, ics(event(title,
                               "DTSTART;TZID=Europe/Berlin:20250601T" + start +
                                   "\r\nDURATION:PT30M\r\nRRULE:FREQ=DAILY\r\n",
                               title)));
  }
  const auto begin = std::chrono::steady_clock::now();
  const testing::RunResult r =
      testing::runProgram({"events", "2026-01-01", "2030-01-01", "a,b"},
                          {{"XDG_DATA_HOME", home.path().string()}, {"TZ", "Europe/Berlin"}});
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
  std::printf("[ measure  ] capped answer: %.2f s, peak %.0f MB\n", took.count(), r.peakMb);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_LT(r.peakMb, 128 * kMemoryScale);
  // (The JSON itself is checked on smaller answers: a parse of 69 MB costs more than the run.)
  // Each day's events as "HH:MM title", in answer order.
  std::map<std::string, std::vector<std::string>> days;
  std::size_t n = 0;
  for (std::size_t at = r.out.find("\"start\":\""); at != std::string::npos;
       at = r.out.find("\"start\":\"", at + 1), ++n) {
    const std::string stamp = r.out.substr(at + 9, 16);
    const std::size_t title = r.out.find("\"title\":\"", at) + 9;
    days[stamp.substr(0, 10)].push_back(stamp.substr(11) + " " +
                                        r.out.substr(title, r.out.find('"', title) - title));
  }
  EXPECT_EQ(n, 500000u);
  ASSERT_EQ(days.size(), 1254u);
  EXPECT_EQ(days.begin()->first, "2026-01-01");
  EXPECT_EQ(days.rbegin()->first, "2029-06-07");
  std::vector<std::string> whole;  // a day in answer order: the odd series at 08:00 first
  for (int odd = 1; odd >= 0; --odd) {
    for (int i = odd; i < 399; i += 2) {
      char text[16];
      std::snprintf(text, sizeof text, "%s t%03d", odd ? "08:00" : "09:00", i);
      whole.push_back(text);
    }
  }
  for (const auto& [day, events] : days) {
    if (day == days.rbegin()->first) {
      EXPECT_EQ(events, std::vector<std::string>(whole.begin(), whole.begin() + 53)) << day;
    } else {
      EXPECT_EQ(events, whole) << day;
    }
  }
}

// A file of more than 4 MB is read in two halves and parsed in batches of whole units: every event
// with its overrides, however far apart they stand. Each of 3,000 events is moved by an override
// written after all the events, half of them out of the window, half to another day in it.
TEST(HostileStore, BatchesKeepOverridesWithTheirEvents) {
  TempDir home;
  writeGood(home);
  std::string masters, overrides;
  for (int i = 0; i < 3000; ++i) {
    const std::string uid = "m" + std::to_string(i);
    masters += event(
        uid, "DTSTART:20260304T080000Z\r\nDESCRIPTION:" + std::string(1500, 'd') + "\r\n", "moved");
    overrides += event(uid,
                       std::string("RECURRENCE-ID:20260304T080000Z\r\nDTSTART:") +
                           (i % 2 == 0 ? "20100101" : "20260305") + "T080000Z\r\n",
                       "moved");
  }
  home.write("calendars/good/m-batches.ics", ics(masters + overrides));
  EXPECT_EQ(run(home, "overrides 4 MB from their events", "moved"), 1500);
}

// Files of one calendar are removed, cut, and replaced by directories and FIFOs while the store is
// read; the calendars left alone are always whole.
TEST(HostileStore, FilesChangingDuringTheRun) {
  TempDir home;
  writeGood(home);
  const std::string content = ics(kInner);
  for (int i = 0; i < 400; ++i)
    home.write("calendars/moving/" + std::to_string(i) + ".ics", content);
  std::atomic<bool> done{false};
  std::thread churn([&] {
    std::error_code ec;
    for (unsigned n = 0; !done; ++n) {
      const std::string name = "calendars/moving/" + std::to_string(n % 400) + ".ics";
      const fs::path f = home.path() / name;
      fs::remove_all(f, ec);
      if (n % 4 == 1) home.write(name, content.substr(0, n % 97));
      if (n % 4 == 2) fs::create_directory(f, ec);
      if (n % 4 == 3) ::mkfifo(f.c_str(), 0600);
      if (n % 4 == 0) home.write(name, content);
    }
  });
  for (int i = 0; i < 10; ++i) {
    EXPECT_LE(run(home, "files changing", "inner", {},
                  {"events", "2026-03-02", "2026-03-09", "good,solo.ics,moving"}),
              400);
  }
  done = true;
  churn.join();
}

}  // namespace
}  // namespace velkor
