#include "store/local_minute.h"

#include <time.h>

namespace velkor {
namespace {

// Fields from the least significant: minute (6 bits), hour (5), day (5), month (4), then the year
// moved by kYearBias so that every year tm_year can hold is positive.
constexpr std::int64_t kYearBias = std::int64_t{1} << 32;

}  // namespace

std::uint64_t localMinute(Instant instant) {
  // Floor, not truncation: an instant before 1970 must not be carried into the next second.
  const time_t t = static_cast<time_t>(
      std::chrono::floor<std::chrono::seconds>(instant.time_since_epoch()).count());
  tzset();
  struct tm f {};
  // Instants in milliseconds reach about 292 million years, well inside what struct tm holds.
  if (localtime_r(&t, &f) == nullptr) return 0;
  const std::int64_t year = std::int64_t{f.tm_year} + 1900;
  return static_cast<std::uint64_t>(year + kYearBias) << 20 |
         static_cast<std::uint64_t>(f.tm_mon + 1) << 16 |
         static_cast<std::uint64_t>(f.tm_mday) << 11 | static_cast<std::uint64_t>(f.tm_hour) << 6 |
         static_cast<std::uint64_t>(f.tm_min);
}

std::int64_t yearOfMinute(std::uint64_t minute) {
  return static_cast<std::int64_t>(minute >> 20) - kYearBias;
}

}  // namespace velkor
