// Day texts in, stamp texts out, under zones whose clocks do odd things around midnight.
//
// Input: one byte choosing the zone, eight bytes of an instant (milliseconds, little-endian), then
// the day text. localDay must accept exactly the well-formed days that happen in the zone and give
// their first second; localStamp must give the local reading, and its day must lead back to an
// instant no later than the one stamped.
#include <time.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "events/dates.h"

namespace {

using velkor::Instant;

constexpr const char* kZones[] = {"UTC0",
                                  "Europe/Berlin",
                                  "America/Sao_Paulo",
                                  "Pacific/Apia",
                                  "America/Havana",
                                  "Australia/Lord_Howe",
                                  "Asia/Kathmandu",
                                  "Pacific/Kiritimati",
                                  "America/St_Johns",
                                  "Africa/Casablanca",
                                  "America/Santiago",
                                  "EST5EDT"};

[[noreturn]] void fail(const char* what, std::string_view text) {
  std::fprintf(stderr, "%s: '%.*s' TZ=%s\n", what, static_cast<int>(text.size()), text.data(),
               std::getenv("TZ"));
  std::abort();
}

struct Day {
  std::int64_t year;
  unsigned month;
  unsigned day;
  bool operator==(const Day&) const = default;
};

// The day a well-formed day text names, read without the program's parser: four or more digits of
// year, '-', two of month, '-', two of day.
std::optional<Day> readDay(std::string_view s) {
  const std::size_t dash = s.find('-');
  if (dash == std::string_view::npos || dash < 4 || s.size() != dash + 6 || s[dash + 3] != '-') {
    return std::nullopt;
  }
  std::int64_t year = 0;
  for (std::size_t i = 0; i < dash; ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    if (year > 100000000) return Day{year, 0, 0};  // out of range; month 0 marks it
    year = year * 10 + (s[i] - '0');
  }
  for (std::size_t i : {dash + 1, dash + 2, dash + 4, dash + 5}) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
  }
  const unsigned month = static_cast<unsigned>((s[dash + 1] - '0') * 10 + (s[dash + 2] - '0'));
  const unsigned day = static_cast<unsigned>((s[dash + 4] - '0') * 10 + (s[dash + 5] - '0'));
  return Day{year, month, day};
}

bool realDay(const Day& d) {
  if (d.year < 1 || d.year > 999999) return false;
  // std::chrono years stop at 32767; the Gregorian cycle repeats every 400 years.
  const std::chrono::year_month_day ymd{std::chrono::year(static_cast<int>(d.year % 400 + 2000)),
                                        std::chrono::month(d.month), std::chrono::day(d.day)};
  return ymd.ok();
}

std::optional<Day> localDate(std::int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm f {};
  if (localtime_r(&t, &f) == nullptr) return std::nullopt;
  return Day{std::int64_t{f.tm_year} + 1900, static_cast<unsigned>(f.tm_mon + 1),
             static_cast<unsigned>(f.tm_mday)};
}

bool before(const Day& a, const Day& b) {
  if (a.year != b.year) return a.year < b.year;
  if (a.month != b.month) return a.month < b.month;
  return a.day < b.day;
}

std::int64_t utcMidnight(const Day& d) {
  // Days since 1970 by counting whole 400-year cycles (146,097 days) from 2000-03-01.
  const std::int64_t y = d.month <= 2 ? d.year - 1 : d.year;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (d.month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + d.day - 1;
  return (era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468) * 86400;
}

// Whether the local clock shows `d` at some second: scanned in 5-minute steps, finer than any
// day the zone database holds is short.
bool happens(const Day& d) {
  const std::int64_t m = utcMidnight(d);
  for (std::int64_t t = m - 30 * 3600; t <= m + 30 * 3600; t += 300) {
    if (localDate(t) == d) return true;
  }
  return false;
}

std::string dayText(const Day& d) {
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(d.year), d.month,
                d.day);
  return text;
}

void checkDayText(std::string_view text) {
  const std::optional<Instant> got = velkor::localDay(text);
  const std::optional<Day> day = readDay(text);
  if (!day || !realDay(*day)) {
    if (got) fail("accepted a text that names no day", text);
    return;
  }
  if (!got) {
    if (happens(*day)) fail("refused a day that happens", text);
    return;
  }
  const std::int64_t s =
      std::chrono::duration_cast<std::chrono::seconds>(got->time_since_epoch()).count();
  if (got->time_since_epoch().count() % 1000 != 0) fail("day start not on a second", text);
  if (localDate(s) != *day) fail("day start lies on another day", text);
  const std::optional<Day> prior = localDate(s - 1);
  if (!prior || !before(*prior, *day)) fail("day start is not the first second", text);
  const std::string stamp = velkor::localStamp(*got);
  if (stamp.rfind(dayText(*day) + "T", 0) != 0) fail("stamp of a day start", text);
}

void checkStamp(std::uint64_t bits) {
  // From two days into year 1 to the start of year 999999, so that every zone's local day of the
  // instant is one that localDay reads.
  constexpr std::int64_t kFirst = -62135596800LL + 2 * 86400;
  constexpr std::int64_t kLast = 31494753244800LL - 2 * 86400;
  const std::int64_t seconds =
      kFirst +
      static_cast<std::int64_t>((bits / 1000) % static_cast<std::uint64_t>(kLast - kFirst));
  const Instant t{std::chrono::seconds(seconds) +
                  std::chrono::milliseconds(static_cast<std::int64_t>(bits % 1000))};
  const std::string stamp = velkor::localStamp(t);
  const std::size_t tee = stamp.find('T');
  if (tee == std::string::npos || stamp.size() != tee + 6 || stamp[tee + 3] != ':') {
    fail("stamp form", stamp);
  }
  time_t tt = static_cast<time_t>(seconds);
  struct tm f {};
  localtime_r(&tt, &f);
  char clock[8];
  std::snprintf(clock, sizeof clock, "%02d:%02d", f.tm_hour, f.tm_min);
  if (stamp.substr(tee + 1) != clock) fail("stamp clock", stamp);
  const std::optional<Instant> start = velkor::localDay(stamp.substr(0, tee));
  if (!start || *start > t) fail("stamp day does not lead back", stamp);
  if (velkor::localStamp(*start).substr(0, tee) != stamp.substr(0, tee)) {
    fail("stamp day start on another day", stamp);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  ::setenv("TZ", kZones[data[0] % std::size(kZones)], 1);
  std::uint64_t bits = 0;
  std::memcpy(&bits, data + 1, sizeof bits);
  checkStamp(bits);
  checkDayText(std::string_view(reinterpret_cast<const char*>(data + 9), size - 9));
  return 0;
}
