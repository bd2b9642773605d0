// Proleptic Gregorian dates as day numbers (days since 1970-01-01) and back: the one arithmetic
// every room that counts days uses (H. Hinnant's days_from_civil and civil_from_days).
#pragma once

#include <cstdint>

namespace velkor {

struct CivilDate {
  std::int64_t year;
  unsigned month;  // 1..12
  unsigned day;    // 1..31
};

std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);
CivilDate civilFromDays(std::int64_t days);

// 0 for Sunday; day 0 (1970-01-01) was a Thursday.
int weekdayOfDay(std::int64_t days);

bool isLeapYear(std::int64_t year);
unsigned daysInMonth(std::int64_t year, unsigned month);

}  // namespace velkor
