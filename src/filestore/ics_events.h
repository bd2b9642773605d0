// The events of one iCalendar text that overlap a window, worked out with libical.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "store/store.h"

namespace velkor {

// The time zones met while reading files, each made once per run and thread: building a libical
// zone (and expanding its transitions) costs far more than reading a small file. Zones given in a
// file are keyed by their whole text, so two files never share a zone unless they define it alike.
// Not shared between threads.
class ZoneCache {
 public:
  ZoneCache();
  ~ZoneCache();
  ZoneCache(const ZoneCache&) = delete;
  ZoneCache& operator=(const ZoneCache&) = delete;

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

struct IcsQuery {
  Instant start;
  Instant end;
  // Start rule expansion near the window rather than at DTSTART (rules without COUNT only).
  bool expandNearWindow = true;
  // Stop adding once `out` holds this many events.
  std::size_t maxEvents = 500000;
};

// Once per process, before any thread reads files: keeps libical from aborting or printing.
void quietLibical();

// Appends to `out` the occurrences in the window of every VEVENT of `text` (an iCalendar text
// without NUL bytes), in file order, each event's occurrences by start. Never throws; what cannot
// be read is left out.
void appendIcsEvents(const std::string& text, const std::string& calendarId, const IcsQuery& query,
                     ZoneCache& zones, std::vector<Event>& out);

}  // namespace velkor
