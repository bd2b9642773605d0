// The events of one calendar of a Thunderbird database, rebuilt as iCalendar text and read by the
// iCalendar engine, so that its events read as every other store's do.
#pragma once

#include <cstdint>
#include <string>

#include "ical/ics_events.h"
#include "thunderbird/clock.h"
#include "thunderbird/sqlite.h"

namespace velkor {

// Appends to `out` the occurrences in the query's window of the events of calendar `calId`, as
// calendar `calendar`. Single events are picked in SQL, with a margin for floating and all-day
// times; every recurring series is read whole. False when the database could not be read to the
// end: what was appended then is incomplete.
bool appendCalendarEvents(sqlite3* db, const std::string& calId, std::uint32_t calendar,
                          const IcsQuery& query, StoredClock& clock, ZoneCache& zones,
                          EventList& out);

}  // namespace velkor
