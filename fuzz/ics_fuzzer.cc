// The reading of one iCalendar file: arbitrary bytes as a single-file calendar, searched over one
// of a few windows. The fast search (byte pre-scan, expansion from the window) and the full one
// (parse everything, expand from DTSTART) must give the same events.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_dir.h"
#include "filestore/filestore.h"

namespace {

using velkor::Event;
using velkor::Instant;

struct Window {
  std::int64_t startDay;  // days since 1970-01-01, UTC midnight
  std::int64_t days;
};

// A week, a day across a DST change, the longest window, windows around 2000 and far ahead.
constexpr Window kWindows[] = {{20514, 7},  {20541, 1}, {20454, 1461}, {10956, 3},
                               {20752, 14}, {0, 1},     {47482, 30},   {20454, 2000}};

std::string describe(const Event& e) {
  return e.calendarId + "|" + e.title.value_or("<none>") + "|" +
         std::to_string(e.start.time_since_epoch().count()) + "|" +
         std::to_string(e.end.time_since_epoch().count()) + "|" + (e.allDay ? "1" : "0") + "|" +
         e.location.value_or("<none>");
}

[[noreturn]] void disagree(const std::vector<Event>& fast, const std::vector<Event>& full) {
  std::fprintf(stderr, "fast search: %zu events, full search: %zu events\n", fast.size(),
               full.size());
  for (std::size_t i = 0; i < fast.size() || i < full.size(); ++i) {
    std::fprintf(stderr, "  %s\n  %s\n", i < fast.size() ? describe(fast[i]).c_str() : "-",
                 i < full.size() ? describe(full[i]).c_str() : "-");
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Floating times then meet a zone with DST changes.
  ::setenv("TZ", "Europe/Berlin", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const velkor::fuzzing::ScratchDir dir;
  if (size < 1 || dir.path().empty()) return 0;
  const Window w = kWindows[data[0] % std::size(kWindows)];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!dir.write("x.ics", text)) return 0;

  velkor::FileCalendar calendar;
  calendar.calendar.id = "x.ics";
  calendar.path = dir.path() / "x.ics";
  calendar.singleFile = true;
  const Instant start{std::chrono::days(w.startDay)};
  const Instant end = start + std::chrono::days(w.days);
  const std::vector<Event> fast =
      velkor::searchFileCalendars({calendar}, start, end, velkor::SearchMode::kFast);
  const std::vector<Event> full =
      velkor::searchFileCalendars({calendar}, start, end, velkor::SearchMode::kFull);
  if (fast.size() != full.size()) disagree(fast, full);
  for (std::size_t i = 0; i < fast.size(); ++i) {
    if (describe(fast[i]) != describe(full[i])) disagree(fast, full);
  }
  // Every event overlaps the window (cut to four years), or is an instant inside it.
  const Instant searched = std::min(end, start + std::chrono::days(1461));
  for (const Event& e : fast) {
    const bool inside = e.start == e.end ? (e.start >= start && e.start < searched)
                                         : (e.start < searched && e.end > start && e.start < e.end);
    if (!inside) {
      std::fprintf(stderr, "outside the window: %s\n", describe(e).c_str());
      std::abort();
    }
  }
  return 0;
}
