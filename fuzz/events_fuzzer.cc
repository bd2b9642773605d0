// The whole `events` command over a store of two single-file calendars: one made of the fuzzer's
// bytes, one well-formed beside it. Whatever the first holds, the command answers with status 0,
// one line of strict JSON of the event shape, nothing on standard error, and every event of the
// good calendar.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/dispatch.h"
#include "fuzz_dir.h"
#include "strict_json.h"

namespace {

namespace sj = velkor::strict_json;

struct Query {
  const char* from;
  const char* to;
  int days;  // local days searched
};

constexpr Query kQueries[] = {{"2026-03-02", "2026-03-09", 7},
                              {"2026-03-29", "2026-03-30", 1},
                              {"2026-01-01", "2030-01-01", 1461},
                              {"1999-12-31", "2000-01-03", 3},
                              {"2026-10-24", "2026-10-27", 3}};

// An hour at noon every day from 1990 on, in floating time: one per local day of any window.
constexpr const char* kGood =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//fuzz//EN\r\nBEGIN:VEVENT\r\nUID:good\r\n"
    "DTSTART:19900101T120000\r\nDTEND:19900101T130000\r\nRRULE:FREQ=DAILY\r\n"
    "SUMMARY:daily\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";

[[noreturn]] void fail(const char* what, const std::string& out, const std::string& err) {
  std::fprintf(stderr, "%s\nstdout: %.2000s\nstderr: %s\n", what, out.c_str(), err.c_str());
  std::abort();
}

// Points file descriptor 2 at a scratch file while it lives: what libraries print to the process's
// standard error bypasses the stream the command is given.
class CapturedStderr {
 public:
  explicit CapturedStderr(const std::filesystem::path& file)
      : file_(::open(file.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)),
        saved_(::dup(2)) {
    if (file_ >= 0 && saved_ >= 0) ::dup2(file_, 2);
  }
  ~CapturedStderr() {
    if (saved_ >= 0) {
      ::dup2(saved_, 2);
      ::close(saved_);
    }
    if (file_ >= 0) ::close(file_);
  }
  CapturedStderr(const CapturedStderr&) = delete;
  CapturedStderr& operator=(const CapturedStderr&) = delete;

  std::string text() const {
    struct stat st {};
    if (file_ < 0 || ::fstat(file_, &st) != 0) return "<unknown>";
    std::string out(static_cast<std::size_t>(st.st_size), '\0');
    if (::pread(file_, out.data(), out.size(), 0) < 0) return "<unreadable>";
    return out;
  }

 private:
  int file_;
  int saved_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("TZ", "Europe/Berlin", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const velkor::fuzzing::ScratchDir dir;
  if (size < 1 || dir.path().empty()) return 0;
  const Query q = kQueries[data[0] % std::size(kQueries)];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (!dir.write("calendars/fuzz.ics", text) || !dir.write("calendars/good.ics", kGood)) return 0;
  ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);

  std::ostringstream out, err;
  std::string printed;
  velkor::ExitStatus status;
  {
    const CapturedStderr captured(dir.path() / "stderr");
    status = velkor::dispatch({"events", q.from, q.to, "fuzz.ics,good.ics"},
                              velkor::systemPlatform(), {out, err});
    printed = captured.text();
  }
  const std::string line = out.str();
  if (status != velkor::kResult) fail("exit status", line, err.str());
  if (!err.str().empty()) fail("standard error", line, err.str());
  if (!printed.empty()) fail("written to the process's standard error", line, printed);
  if (line.empty() || line.back() != '\n' || line.find('\n') != line.size() - 1) {
    fail("not one line", line, err.str());
  }
  const std::optional<sj::Value> v = sj::parse(std::string_view(line).substr(0, line.size() - 1));
  if (!v || v->kind != sj::Value::Kind::kArray) fail("not a JSON array", line, err.str());
  int good = 0;
  for (const sj::Value& e : v->items) {
    const sj::Value* calendar = e.member("calendar");
    const sj::Value* start = e.member("start");
    const sj::Value* end = e.member("end");
    const sj::Value* title = e.member("title");
    const sj::Value* allDay = e.member("allDay");
    if (calendar == nullptr || start == nullptr || end == nullptr || title == nullptr ||
        allDay == nullptr || allDay->kind != sj::Value::Kind::kBool ||
        e.keys.size() != (e.member("location") != nullptr ? 6u : 5u)) {
      fail("event shape", line, err.str());
    }
    if (start->text.size() < 16 || end->text.size() < 16 || end->text < start->text) {
      fail("stamps", line, err.str());
    }
    if (calendar->text == "good.ics") {
      ++good;
      if (title->text != "daily" || start->text.substr(start->text.size() - 5) != "12:00") {
        fail("good event changed", line, err.str());
      }
    } else if (calendar->text != "fuzz.ics") {
      fail("unknown calendar", line, err.str());
    }
  }
  if (good != q.days) fail("good events lost", line, err.str());
  return 0;
}
