// The occurrences of one recurring event (a master and its overrides) that reach a window.
#pragma once

#include <vector>

#include "ical/timing.h"

namespace velkor {

struct Occurrence {
  Span span;
  bool allDay = false;
  icalcomponent* source = nullptr;  // the VEVENT whose title and location it carries
};

// A master (no RECURRENCE-ID) with the overrides of its UID; or overrides alone, without master.
// Overrides of one instance collapse to the one that supersedes the others.
struct UidEvents {
  icalcomponent* master = nullptr;
  std::vector<icalcomponent*> overrides;
};

// Whether `later`, written after `earlier`, supersedes it: a SEQUENCE as high, then a DTSTAMP as
// late (a change is sent with a higher SEQUENCE; the last written wins a tie).
bool supersedes(icalcomponent* later, icalcomponent* earlier);

// The unit's occurrences overlapping the query's window, by start.
std::vector<Occurrence> occurrencesOf(const UidEvents& unit, const IcsQuery& query,
                                      FileZones& zones);

}  // namespace velkor
