// Day texts in, stamp texts out, under zones whose clocks do odd things around midnight. Input: a
// byte choosing the zone, eight bytes of an instant, then a day text. localStamp must give the
// local reading of the instant; localDay the first second of a well-formed day that happens in the
// zone, and nothing for any other text.
#include <time.h>

#include <array>
#include <cstring>
#include <sstream>
#include <string>

#include "events/dates.h"
#include "fuzz_common.h"

namespace {

using velkor::fuzzing::fail;
using Day = std::array<std::int64_t, 3>;  // year, month, day

// Zones whose clocks skip or repeat midnight, skipped a whole day, or keep odd offsets: the
// `n`th of them, counted round.
std::string zone(unsigned n) {
  std::istringstream zones(
      "UTC0 Europe/Berlin America/Sao_Paulo Pacific/Apia America/Havana Australia/Lord_Howe "
      "Asia/Kathmandu Pacific/Kiritimati America/St_Johns Africa/Casablanca America/Santiago "
      "EST5EDT");
  std::string z;
  for (unsigned i = 0; i <= n % 12; ++i) zones >> z;
  return z;
}

Day localDate(std::int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm f {};
  localtime_r(&t, &f);
  return {std::int64_t{f.tm_year} + 1900, f.tm_mon + 1, f.tm_mday};
}

// The day a text of the form "yyyy-MM-dd" (four or more year digits) names when it names a real
// one in years 1 to 999999, read without the program's parser; with the days from 1970 to it.
std::optional<std::pair<Day, std::int64_t>> readDay(std::string_view s) {
  const size_t dash = s.find('-');
  if (dash == std::string_view::npos || dash < 4 || s.size() != dash + 6 || s[dash + 3] != '-')
    return std::nullopt;
  std::int64_t y = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i != dash && i != dash + 3 && (s[i] < '0' || s[i] > '9')) return std::nullopt;
    if (i < dash) y = std::min<std::int64_t>(y * 10 + (s[i] - '0'), 10000000);
  }
  const Day d = {y, (s[dash + 1] - '0') * 10 + (s[dash + 2] - '0'),
                 (s[dash + 4] - '0') * 10 + (s[dash + 5] - '0')};
  // Gregorian days repeat every 400 years (146,097 days); std::chrono years end at 32767.
  const std::chrono::year_month_day ymd{std::chrono::year(static_cast<int>(y % 400 + 2000)),
                                        std::chrono::month(static_cast<unsigned>(d[1])),
                                        std::chrono::day(static_cast<unsigned>(d[2]))};
  if (y < 1 || y > 999999 || !ymd.ok()) return std::nullopt;
  return std::pair(d,
                   std::chrono::sys_days(ymd).time_since_epoch().count() + 146097 * (y / 400 - 5));
}

void checkDay(std::string_view text) {
  const std::optional<velkor::Instant> got = velkor::localDay(text);
  const auto day = readDay(text);
  if (!day) {
    if (got) fail("accepted a text that names no day", text);
    return;
  }
  if (!got) {
    // Refused: the local clock must never show that day (5-minute steps are finer than any change).
    for (std::int64_t t = day->second * 86400 - 30 * 3600; t <= day->second * 86400 + 30 * 3600;
         t += 300)
      if (localDate(t) == day->first) fail("refused a day that happens", text);
    return;
  }
  const std::int64_t s =
      std::chrono::duration_cast<std::chrono::seconds>(got->time_since_epoch()).count();
  if (got->time_since_epoch().count() % 1000 != 0 || localDate(s) != day->first ||
      !(localDate(s - 1) < day->first)) {
    fail("not the first second of the day", text);
  }
}

void checkStamp(std::uint64_t bits) {
  // From two days into year 1 to the start of year 999999: every zone's local day of it is
  // readable.
  constexpr std::int64_t kFirst = -62135596800LL + 2 * 86400, kLast = 31494753244800LL - 2 * 86400;
  const std::int64_t s = kFirst + static_cast<std::int64_t>(
                                      (bits / 1000) % static_cast<std::uint64_t>(kLast - kFirst));
  const velkor::Instant t{std::chrono::seconds(s) + std::chrono::milliseconds(bits % 1000)};
  const time_t tt = static_cast<time_t>(s);
  struct tm f {};
  localtime_r(&tt, &f);
  char want[48];
  std::snprintf(want, sizeof want, "%04lld-%02d-%02dT%02d:%02d", f.tm_year + 1900LL, f.tm_mon + 1,
                f.tm_mday, f.tm_hour, f.tm_min);
  const std::string stamp = velkor::localStamp(t);
  if (stamp != want) fail("stamp", stamp + " instead of " + want);
  // The stamp's day leads back to an instant no later than the one stamped.
  const std::optional<velkor::Instant> begins = velkor::localDay(stamp.substr(0, stamp.find('T')));
  if (!begins || *begins > t) fail("the stamp's day does not lead back", stamp);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  ::setenv("TZ", zone(data[0]).c_str(), 1);
  tzset();  // localtime_r need not notice the change itself
  std::uint64_t bits = 0;
  std::memcpy(&bits, data + 1, sizeof bits);
  checkStamp(bits);
  checkDay(std::string_view(reinterpret_cast<const char*>(data + 9), size - 9));
  return 0;
}
