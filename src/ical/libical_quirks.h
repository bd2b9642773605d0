// Readings of rules and RECURRENCE-IDs that real-world calendars need where libical reads them
// otherwise.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "ical/timing.h"

namespace velkor {

// A YEARLY rule as RFC 5545's table (3.3.10) reads it where libical does not: without BYMONTH,
// BYMONTHDAY expands over every month (BYDAY limiting it), which libical only does once BYMONTH
// names them all; BYWEEKNO alone keeps DTSTART's weekday in the weeks it names.
icalrecurrencetype asTable(const icalrecurrencetype& rule, const icaltimetype& dtstart);

// The distinct starts that DTSTART and the rules of a series give in [from, to).
using StartsIn = std::function<std::vector<Seconds>(Seconds from, Seconds to)>;

// Exchange names the instance of a timed series by local midnight of its day: a RECURRENCE-ID
// at midnight (`wall` on `frame`, instant `at`) that is no instance names the day's one instance,
// when there is exactly one. That instance's start; none when the RECURRENCE-ID means what it says.
std::optional<Seconds> midnightInstance(const icaltimetype& wall, Seconds at, const Frame& frame,
                                        const StartsIn& startsIn);

}  // namespace velkor
