// The reading of one iCalendar file: arbitrary bytes as a single-file calendar, searched over one
// of a few windows. The fast search (byte scan, expansion from the window) and the full one (parse
// everything, expand from DTSTART) must give the same events, and every event must be in the
// window (cut to four years): overlapping it, or an instant inside it.
#include "filestore/filestore.h"
#include "fuzz_common.h"

namespace {

// First day (days since 1970) and length: a week, a day across a DST change, the longest window,
// days around 2000, far ahead, a window cut to four years.
constexpr std::pair<int, int> kWindows[] = {{20514, 7},  {20541, 1}, {20454, 1461}, {10956, 3},
                                            {20752, 14}, {0, 1},     {47482, 30},   {20454, 2000}};

std::string describe(const std::vector<velkor::Event>& events) {
  std::string out;
  for (const velkor::Event& e : events) {
    out += e.calendarId + "|" + e.title.value_or("-") + "|" + e.location.value_or("-") + "|" +
           std::to_string(e.start.time_since_epoch().count()) + "|" +
           std::to_string(e.end.time_since_epoch().count()) + (e.allDay ? "|all-day\n" : "\n");
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("TZ", "Europe/Berlin", 1);  // floating times meet a zone with clock changes
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const velkor::fuzzing::ScratchDir dir;
  if (size < 1) return 0;
  dir.write("x.ics", std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  const auto [day, days] = kWindows[data[0] % std::size(kWindows)];
  const velkor::Instant start{std::chrono::days(day)}, end = start + std::chrono::days(days);
  const std::vector<velkor::FileCalendar> calendar = {
      {{"x.ics", "x", {}, {}}, dir.path() / "x.ics", true}};
  const auto fast = velkor::searchFileCalendars(calendar, start, end, velkor::SearchMode::kFast);
  const auto full = velkor::searchFileCalendars(calendar, start, end, velkor::SearchMode::kFull);
  if (describe(fast) != describe(full))
    velkor::fuzzing::fail("fast and full search differ", describe(fast) + "--\n" + describe(full));
  const velkor::Instant searched = std::min(end, start + std::chrono::days(1461));
  for (const velkor::Event& e : fast) {
    const bool inside = e.start == e.end ? e.start >= start && e.start < searched
                                         : e.start < searched && e.end > start && e.start < e.end;
    if (!inside) velkor::fuzzing::fail("outside the window", describe({e}));
  }
  return 0;
}
