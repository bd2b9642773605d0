// Instants of the file store's events: DATE-TIMEs read in UTC, a zone or local wall time, and the
// start and length of an event as its VEVENT gives them.
#pragma once

#include <optional>

#include "filestore/zones.h"

namespace velkor {

// Seconds since 1970 of a wall time read as UTC.
Seconds utcSeconds(const icaltimetype& t);

// Local wall time in the process's zone. Times in a gap or an overlap of the local clock get what
// mktime with tm_isdst = -1 chooses (glibc: the offset in force before the change for a gap, so
// 02:30 of a spring-forward night is 03:30; the second of the two readings for an overlap).
std::optional<Seconds> localSeconds(const icaltimetype& t, bool midnight);

std::optional<Seconds> secondsOf(icaltimetype wall, const Frame& frame, bool date);

// The wall time of instant `s` in `frame`, as a recurrence iterator started there expects it.
icaltimetype wallAt(Seconds s, const Frame& frame, bool date);

// How long each occurrence of an event lasts.
struct Length {
  int days = 1;  // all-day events: whole days, at least one
  enum Kind { kZero, kExact, kNominal } kind = kZero;
  Seconds exact = 0;           // from DTEND: the instants' difference
  int nominalDays = 0;         // from DURATION: days on the wall clock ...
  Seconds nominalSeconds = 0;  // ... then exact seconds
};

// The longest an occurrence can last, whatever the clock does.
Seconds longest(const Length& len, bool allDay);

struct Span {
  Seconds start = 0;
  Seconds end = 0;
};

std::optional<Span> spanAt(icaltimetype wall, const Frame& frame, bool allDay, const Length& len);

struct Timing {
  icaltimetype wall{};  // DTSTART as written, without zone
  Frame frame;
  bool allDay = false;
  Length length;
  Seconds start = 0;
};

bool usable(const icaltimetype& t);

// DTSTART, and DTEND or DURATION, of a VEVENT; none without a usable DTSTART.
std::optional<Timing> timingOf(icalcomponent* event, FileZones& zones);

}  // namespace velkor
