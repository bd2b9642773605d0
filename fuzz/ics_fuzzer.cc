// Arbitrary bytes as a single-file calendar, beside a good one, over one of a few windows. The fast
// search (byte scan, units read in parts, expansion from the window) and the full one (parse
// everything, expand from DTSTART) must give the same events, each in the window (cut to four
// years). The whole `events` command over both calendars must answer with status 0, one line of
// the program's JSON of the event shape, nothing on standard error (the stream or the process's
// descriptor 2), and every event of the good calendar.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "../tests/support/text.h"
#include "cli/dispatch.h"
#include "events/dates.h"
#include "filestore/filestore.h"
#include "fuzz_common.h"

namespace {

using velkor::fuzzing::fail;

// A week, a day across a clock change, days around 2000, the autumn change, 1970, far ahead, a
// window cut to four years (endless rules give 100,000 occurrences there); and the days of the
// good calendar in each.
constexpr std::tuple<const char*, const char*, int> kWindows[] = {
    {"2026-03-02", "2026-03-09", 7},   {"2026-03-29", "2026-03-30", 1},
    {"1999-12-31", "2000-01-03", 3},   {"2026-10-24", "2026-10-27", 3},
    {"1970-01-01", "1970-01-02", 0},   {"2100-01-01", "2100-01-31", 30},
    {"2026-01-01", "2031-06-24", 1461}};

constexpr const char* kGood =
    "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:good\r\nDTSTART:19900101T120000\r\n"
    "DTEND:19900101T130000\r\nRRULE:FREQ=DAILY\r\nSUMMARY:daily\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

void compareSearches(const std::filesystem::path& file, velkor::Instant start,
                     velkor::Instant end) {
  // The store is searched over the window the program searches: its first four years.
  const velkor::Instant searched = std::min(end, start + velkor::kLongestStoreWindow);
  const std::vector<velkor::FileCalendar> calendar = {{{"x.ics", "x", {}, {}}, file, true}};
  const auto fast =
      velkor::searchFileCalendars(calendar, start, searched, velkor::SearchMode::kFast);
  const auto full =
      velkor::searchFileCalendars(calendar, start, searched, velkor::SearchMode::kFull);
  using velkor::testing::describe;
  if (describe(fast) != describe(full))
    fail("fast and full search differ", describe(fast) + "--\n" + describe(full));
  for (std::size_t i = 0; i < fast.size(); ++i) {
    const velkor::EventList::Entry& e = fast[i];
    const bool inside = e.start == e.end ? e.start >= start && e.start < searched
                                         : e.start < searched && e.end > start && e.start < e.end;
    if (!inside) fail("outside the window", describe(fast, i));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("TZ", "Europe/Berlin", 1);  // floating times meet a zone with clock changes
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const velkor::testing::TempDir dir;
  static const int errFile =
      ::open((dir.path() / "stderr").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (size < 1) return 0;
  const auto [from, to, days] = kWindows[data[0] % std::size(kWindows)];
  const auto file = dir.write("calendars/fuzz.ics",
                              std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  dir.write("calendars/good.ics", kGood);
  ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
  compareSearches(file, *velkor::localDay(from), *velkor::localDay(to));

  std::ostringstream out, err;
  const int saved = ::dup(2);
  if (errFile < 0 || saved < 0 || ::ftruncate(errFile, 0) != 0 || ::dup2(errFile, 2) < 0)
    fail("stderr", "");
  const velkor::ExitStatus status = velkor::dispatch({"events", from, to, "fuzz.ics,good.ics"},
                                                     velkor::systemPlatform(), {out, err});
  ::dup2(saved, 2);
  ::close(saved);
  struct stat st {};
  if (status != velkor::kResult || !err.str().empty() || ::fstat(errFile, &st) != 0 ||
      st.st_size != 0) {
    fail("status or standard error", out.str() + err.str());
  }
  int good = 0;
  // Stamps of years past 9999 are longer: a longer stamp is the later one.
  for (const velkor::strict_json::Value& e : velkor::fuzzing::jsonLine(out.str()).items) {
    const auto* allDay = e.member("allDay");
    const auto* start = e.member("start");
    const auto* end = e.member("end");
    const auto* title = e.member("title");
    const auto* calendar = e.member("calendar");
    if (!allDay || allDay->kind != velkor::strict_json::Value::Kind::kBool || !start || !end ||
        !title || !calendar || e.keys.size() != (e.member("location") ? 6u : 5u) ||
        std::pair(end->text.size(), end->text) < std::pair(start->text.size(), start->text)) {
      fail("event shape", out.str());
    }
    if (calendar->text == "good.ics") {
      good += title->text == "daily" && start->text.ends_with("T12:00") ? 1 : 1000;
    } else if (calendar->text != "fuzz.ics") {
      fail("unknown calendar", calendar->text);
    }
  }
  if (good != days) fail("good events lost or changed", out.str());
  return 0;
}
