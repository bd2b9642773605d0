// Single-file calendars read in parts: the scan settles each VEVENT, the UIDs that may reach the
// window are parsed with every VEVENT of theirs, a few units per part. Over many generated files
// (overrides far from their master or before it, several masters and lone overrides of one UID,
// RANGE overrides, events without UID, folded UIDs, a zone defined after the events) and parts
// so small that units keep crossing their ends, the events and their order must be those of the
// whole file parsed at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "filestore/filestore.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

using testing::ScopedZone;
using testing::TempDir;

std::string describe(const std::vector<Event>& events) {
  std::string out;
  for (const Event& e : events) {
    out += e.title.value_or("-") + "|" + std::to_string(e.start.time_since_epoch().count()) + "|" +
           std::to_string(e.end.time_since_epoch().count()) + (e.allDay ? "|a" : "") + "@" +
           e.location.value_or("-") + "\n";
  }
  return out;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  std::string file() {
    const std::string eol = pick(4) == 0 ? "\n" : "\r\n";
    const bool zoneLast = pick(2) == 0;
    std::string text = "BEGIN:VCALENDAR" + eol + "VERSION:2.0" + eol;
    if (!zoneLast) text += zone(eol);
    const int events = 20 + pick(40);
    for (int i = 0; i < events; ++i) text += event(i, eol);
    if (zoneLast) text += zone(eol);
    return text + "END:VCALENDAR" + eol;
  }

 private:
  int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

  static std::string zone(const std::string& eol) {
    std::string z =
        "BEGIN:VTIMEZONE\nTZID:Europe/"
        "Berlin\nBEGIN:DAYLIGHT\nTZOFFSETFROM:+0100\nTZOFFSETTO:+0200\n"
        "DTSTART:19700329T020000\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\nEND:DAYLIGHT\n"
        "BEGIN:STANDARD\nTZOFFSETFROM:+0200\nTZOFFSETTO:+0100\nDTSTART:19701025T030000\n"
        "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\nEND:STANDARD\nEND:VTIMEZONE\n";
    std::string out;
    for (char c : z) out += c == '\n' ? eol : std::string(1, c);
    return out;
  }

  // A day of March 2026 mostly, of 2020 or 2031 sometimes: near the windows or far from them.
  std::string day() {
    const int kind = pick(8);
    const char* year = kind == 0 ? "2020" : kind == 1 ? "2031" : "2026";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%s%02d%02d", year, kind == 2 ? 2 : 3, 1 + pick(28));
    return buf;
  }

  std::string when(const char* name) {
    const std::string d = day();
    switch (pick(4)) {
      case 0:
        return std::string(name) + ";VALUE=DATE:" + d;
      case 1:
        return std::string(name) + ":" + d + "T" + std::to_string(10 + pick(12)) + "0000Z";
      default:
        return std::string(name) + ";TZID=Europe/Berlin:" + d + "T0" + std::to_string(pick(10)) +
               "3000";
    }
  }

  std::string event(int i, const std::string& eol) {
    std::vector<std::string> lines{"BEGIN:VEVENT"};
    // A small pool of UIDs, so that masters and overrides of one UID stand far apart; some alone.
    const std::string uid = pick(3) == 0 ? "s" + std::to_string(i) : "u" + std::to_string(pick(8));
    const int kind = pick(10);
    if (kind != 0) {
      if (pick(5) == 0) {
        lines.push_back("UID:" + uid.substr(0, 1) + eol + " " + uid.substr(1));  // folded
      } else {
        lines.push_back("UID:" + uid);
      }
    }
    if (kind >= 6) {
      const char* range = pick(3) == 0 ? ";RANGE=THISANDFUTURE" : "";
      lines.push_back(when((std::string("RECURRENCE-ID") + range).c_str()));
    }
    lines.push_back(when("DTSTART"));
    if (pick(3) == 0) lines.push_back("DURATION:PT" + std::to_string(1 + pick(30)) + "H");
    if (kind < 6 && pick(2) == 0) {
      const char* rules[] = {"FREQ=DAILY;COUNT=5", "FREQ=WEEKLY",
                             "FREQ=WEEKLY;UNTIL=20260320T000000Z", "FREQ=MONTHLY;COUNT=40",
                             "FREQ=DAILY;INTERVAL=3"};
      lines.push_back("RRULE:" + std::string(rules[pick(5)]));
      if (pick(3) == 0) lines.push_back("EX" + when("DATE"));
    }
    lines.push_back("SUMMARY:e" + std::to_string(i) + " " + uid);
    if (pick(3) == 0) lines.push_back("LOCATION:room " + std::to_string(i));
    if (pick(4) == 0) lines.insert(lines.end(), {"BEGIN:VALARM", "TRIGGER:-PT5M", "END:VALARM"});
    lines.push_back("END:VEVENT");
    std::string out;
    for (const std::string& l : lines) out += l + eol;
    return out;
  }

  std::mt19937 rng_;
};

TEST(SingleFile, PartsGiveWhatTheWholeFileGives) {
  ScopedZone zone("Europe/Berlin");
  TempDir dir;
  const FileCalendar calendar{Calendar{"c", "c", std::nullopt, std::nullopt}, dir.path() / "c.ics",
                              true};
  auto day = [](int y, int m, int d) {
    return Instant(std::chrono::sys_days(std::chrono::year(y) / m / d).time_since_epoch());
  };
  const std::pair<Instant, Instant> windows[] = {{day(2026, 3, 2), day(2026, 3, 9)},
                                                 {day(2026, 3, 16), day(2026, 3, 17)},
                                                 {day(2026, 2, 1), day(2026, 5, 1)},
                                                 {day(2031, 3, 1), day(2031, 3, 8)},
                                                 {day(2019, 6, 1), day(2023, 6, 1)}};
  std::size_t found = 0;
  for (unsigned seed = 1; seed <= 60; ++seed) {
    Generator g(seed);
    dir.write("c.ics", g.file());
    for (const auto& [from, to] : windows) {
      const std::string full =
          describe(searchFileCalendars({calendar}, from, to, SearchMode::kFull));
      for (std::size_t part : {std::size_t{1}, std::size_t{700}, kDefaultBatchBytes}) {
        const auto fast = searchFileCalendars({calendar}, from, to, SearchMode::kFast, part);
        ASSERT_EQ(describe(fast), full) << "seed " << seed << ", part " << part;
        found += fast.size();
      }
    }
  }
  // The comparison means something only when plenty was found.
  EXPECT_GT(found, 5000u);
}

// A file over 4 MB is scanned in two halves at once: every event stands in the window, so none may
// be lost or doubled at the seam, and the master of the first half keeps its far override.
TEST(SingleFile, TwoHalvesOfALargeFileGiveWhatTheWholeFileGives) {
  ScopedZone zone("Europe/Berlin");
  TempDir dir;
  const std::string padding(4000, 'x');
  std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
  for (int i = 0; text.size() < (9u << 19); ++i) {
    text += "BEGIN:VEVENT\r\nUID:" + std::to_string(i % 700) + "\r\n" +
            (i >= 700 ? "RECURRENCE-ID:20260301T100000Z\r\n" : "RRULE:FREQ=DAILY;COUNT=3\r\n") +
            "DTSTART:202603" + std::to_string(10 + i % 9) + "T1" + std::to_string(i % 10) +
            "0000Z\r\nSUMMARY:e" + std::to_string(i) + "\r\nDESCRIPTION:" + padding +
            "\r\nEND:VEVENT\r\n";
  }
  dir.write("c.ics", text + "END:VCALENDAR\r\n");
  const FileCalendar calendar{Calendar{"c", "c", std::nullopt, std::nullopt}, dir.path() / "c.ics",
                              true};
  const Instant from(std::chrono::sys_days(std::chrono::year(2026) / 3 / 1).time_since_epoch());
  const Instant to = from + std::chrono::days(28);
  const std::string full = describe(searchFileCalendars({calendar}, from, to, SearchMode::kFull));
  EXPECT_EQ(describe(searchFileCalendars({calendar}, from, to)), full);
  EXPECT_GT(std::count(full.begin(), full.end(), '\n'), 2000);
}

}  // namespace
}  // namespace velkor
