// The whole `events` command over two single-file calendars: one of the fuzzer's bytes, a good one
// beside it. Whatever the first holds, the command answers with status 0, one line of strict JSON
// of the event shape, nothing on standard error (the stream or the process's descriptor 2), and
// every event of the good calendar.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "cli/dispatch.h"
#include "fuzz_common.h"

namespace {

using velkor::fuzzing::fail;

// FROM, TO and the local days between them.
constexpr std::tuple<const char*, const char*, int> kQueries[] = {
    {"2026-03-02", "2026-03-09", 7},
    {"2026-03-29", "2026-03-30", 1},
    {"2026-01-01", "2030-01-01", 1461},
    {"1999-12-31", "2000-01-03", 3},
    {"2026-10-24", "2026-10-27", 3}};

// An hour at noon every day from 1990 on, in floating time: one per local day of any window.
constexpr const char* kGood =
    "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:good\r\nDTSTART:19900101T120000\r\n"
    "DTEND:19900101T130000\r\nRRULE:FREQ=DAILY\r\nSUMMARY:daily\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("TZ", "Europe/Berlin", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const velkor::fuzzing::ScratchDir dir;
  static const int errFile =
      ::open((dir.path() / "stderr").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (size < 1) return 0;
  const auto [from, to, days] = kQueries[data[0] % std::size(kQueries)];
  dir.write("calendars/fuzz.ics",
            std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  dir.write("calendars/good.ics", kGood);
  ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);

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
  for (const velkor::strict_json::Value& e : velkor::fuzzing::jsonLine(out.str()).items) {
    const auto* allDay = e.member("allDay");
    const auto* start = e.member("start");
    const auto* end = e.member("end");
    const auto* title = e.member("title");
    const auto* calendar = e.member("calendar");
    if (!allDay || allDay->kind != velkor::strict_json::Value::Kind::kBool || !start || !end ||
        !title || !calendar || e.keys.size() != (e.member("location") ? 6u : 5u) ||
        end->text < start->text) {
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
