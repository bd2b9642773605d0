// A quick byte scan of an iCalendar text that tells whether any VEVENT in it could reach a window,
// without parsing it: most files of a large store hold one event far from the asked week.
#pragma once

#include <cstdint>
#include <string_view>

namespace velkor {

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day);

// False only when every VEVENT of `text` surely lies outside the days [firstDay, lastDay] (UTC day
// numbers) even after moving its local dates by a few days either way for zone offsets; true when
// one may reach them or when anything in the text is not understood.
bool mayReachDays(std::string_view text, std::int64_t firstDay, std::int64_t lastDay);

}  // namespace velkor
