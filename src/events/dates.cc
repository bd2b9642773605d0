#include "events/dates.h"

#include <time.h>

#include <cstdint>
#include <tuple>

#include "base/civil_dates.h"

namespace velkor {
namespace {

// Years 1 to 999999 are read. The bound keeps every instant, time_t and tm_year far from
// overflow; year 0 is refused because the Gregorian calendar counts from year 1.
constexpr int64_t kMaxYear = 999999;

struct CivilDay {
  int64_t year;
  int month;
  int day;
  auto operator<=>(const CivilDay&) const = default;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "yyyy-MM-dd" with four or more year digits and two-digit month and day, naming a real day.
std::optional<CivilDay> parseDayText(std::string_view text) {
  size_t i = 0;
  int64_t year = 0;
  while (i < text.size() && isDigit(text[i])) {
    year = year * 10 + (text[i] - '0');
    if (year > kMaxYear) return std::nullopt;  // leading zeros never get here
    ++i;
  }
  if (i < 4 || year < 1) return std::nullopt;
  const std::string_view rest = text.substr(i);
  if (rest.size() != 6 || rest[0] != '-' || rest[3] != '-' || !isDigit(rest[1]) ||
      !isDigit(rest[2]) || !isDigit(rest[4]) || !isDigit(rest[5])) {
    return std::nullopt;
  }
  const int month = (rest[1] - '0') * 10 + (rest[2] - '0');
  const int day = (rest[4] - '0') * 10 + (rest[5] - '0');
  if (month < 1 || month > 12 || day < 1 ||
      day > static_cast<int>(daysInMonth(year, static_cast<unsigned>(month))))
    return std::nullopt;
  return CivilDay{year, month, day};
}

std::optional<CivilDay> localDate(time_t t) {
  struct tm fields {};
  if (localtime_r(&t, &fields) == nullptr) return std::nullopt;
  return CivilDay{int64_t{fields.tm_year} + 1900, fields.tm_mon + 1, fields.tm_mday};
}

char* appendDigits(char* at, std::uint64_t value, int width) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  for (int pad = n; pad < width; ++pad) *at++ = '0';
  while (n > 0) *at++ = digits[--n];
  return at;
}

}  // namespace

std::optional<Instant> localDay(std::string_view text) {
  const std::optional<CivilDay> day = parseDayText(text);
  if (!day) return std::nullopt;
  tzset();  // localtime_r alone need not notice a changed TZ

  // Every offset the zone database has ever used lies within a day of UTC, so local midnight of
  // the day lies within this span around UTC midnight. Walk it on a coarse grid to the first
  // point of the day or later, then narrow down to the second in the grid step before it. The
  // local date is not monotonic when clocks go back over midnight, so a plain bisection over the
  // whole span could land on the second midnight.
  constexpr time_t kSpan = 30 * 3600;
  constexpr time_t kStep = 15 * 60;
  const time_t utcMidnight = static_cast<time_t>(
      daysFromCivil(day->year, static_cast<unsigned>(day->month), static_cast<unsigned>(day->day)) *
      86400);
  time_t before = utcMidnight - kSpan;
  const std::optional<CivilDay> first = localDate(before);
  if (!first || *first >= *day) return std::nullopt;
  std::optional<time_t> after;
  for (time_t t = before + kStep; t <= utcMidnight + kSpan; t += kStep) {
    const std::optional<CivilDay> date = localDate(t);
    if (!date) return std::nullopt;
    if (*date >= *day) {
      after = t;
      break;
    }
    before = t;
  }
  if (!after) return std::nullopt;
  // Invariant: the local date at `before` precedes the day, at `*after` it does not.
  time_t lo = before;
  time_t hi = *after;
  while (hi - lo > 1) {
    const time_t mid = lo + (hi - lo) / 2;
    const std::optional<CivilDay> date = localDate(mid);
    if (!date) return std::nullopt;
    (*date >= *day ? hi : lo) = mid;
  }
  // When the clock jumps from the day before straight past this day, the day never happens here.
  if (localDate(hi) != day) return std::nullopt;
  return Instant(std::chrono::seconds(hi));
}

void localStamp(std::uint64_t minute, std::string& out) {
  out.clear();
  if (minute == 0) return;
  const std::int64_t year = yearOfMinute(minute);
  char text[48];
  char* at = text;
  if (year < 0) *at++ = '-';
  at = appendDigits(at, static_cast<std::uint64_t>(year < 0 ? -year : year), 4);
  *at++ = '-';
  at = appendDigits(at, monthOfMinute(minute), 2);
  *at++ = '-';
  at = appendDigits(at, dayOfMinute(minute), 2);
  *at++ = 'T';
  at = appendDigits(at, hourOfMinute(minute), 2);
  *at++ = ':';
  at = appendDigits(at, minuteOfMinute(minute), 2);
  out.append(text, at);
}

std::string localStamp(Instant instant) {
  std::string text;
  localStamp(localMinute(instant), text);
  return text;
}

}  // namespace velkor
