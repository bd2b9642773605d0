// Instants of the file store's events: DATE-TIMEs read in UTC, a zone or local wall time, and the
// start and length of an event as its VEVENT gives them.
#pragma once

#include <optional>
#include <vector>

#include "ical/zones.h"

namespace velkor {

// Local wall time in the process's zone, read as instantOf reads it (a skipped time moves
// forward, a repeated one is the first).
std::optional<Seconds> localSeconds(icaltimetype t, bool midnight);

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
  // DTSTART written without zone and read on the local clock: its wall times are the same in
  // every zone (a TZID no zone is known by is read there too, but names a zone of its own).
  bool floating = false;
};

bool usable(const icaltimetype& t);

// An instance an RDATE adds: a period with its own length, a date or time with the event's.
struct RdateInstance {
  icaltimetype wall{};
  Span span;
  bool period = false;
};

// The instances the RDATEs of an event (`timing` its start and length) add, in file order. A
// floating time reads in `unzoned` when given, as in zones.frameOf.
std::vector<RdateInstance> rdatesOf(icalcomponent* event, const Timing& timing,
                                    const std::optional<Frame>& unzoned, FileZones& zones);

// DTSTART, and DTEND or DURATION, of a VEVENT; none without a usable DTSTART.
std::optional<Timing> timingOf(icalcomponent* event, FileZones& zones);

}  // namespace velkor
