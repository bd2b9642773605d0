// The events of one iCalendar text that overlap a window, worked out with libical.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ical/units.h"
#include "store/store.h"

namespace velkor {

// The time zones met while reading files, each made once per run and thread: building a libical
// zone (and expanding its transitions) costs far more than reading a small file. Zones given in a
// file are keyed by their whole text, so two files never share a zone unless they define it alike.
// Not shared between threads.
struct ZoneTable;

class ZoneCache {
 public:
  ZoneCache();
  ~ZoneCache();
  ZoneCache(const ZoneCache&) = delete;
  ZoneCache& operator=(const ZoneCache&) = delete;

 private:
  friend struct FileZones;  // the one reader of the table
  std::unique_ptr<ZoneTable> table_;
};

// A text read in parts (a single-file calendar, any large file, a store's batch of components) puts
// whole units of events into a part until it holds this many bytes of them.
constexpr std::size_t kDefaultBatchBytes = std::size_t{32} << 10;

struct IcsQuery {
  Instant start;
  Instant end;
  // Start rule expansion near the window rather than at DTSTART (rules without COUNT only).
  bool expandNearWindow = true;
  // A calendar parsed in parts takes whole units until a part holds this many bytes of events, or
  // as many as its header when that is larger (each part repeats the header). Small parts keep
  // libical's memory small and in cache: a parsed event costs it about ten times its text.
  std::size_t batchBytes = kDefaultBatchBytes;
};

// Adds to `names` the TZID parameter values of `text` (a component's lines): the zones whose
// VTIMEZONE a store has to put beside the component.
void addZoneNames(std::string_view text, std::set<std::string>& names);

// Once per process, before any thread reads files: keeps libical from aborting or printing.
void quietLibical();

// Appends to `out` the occurrences in the window of every VEVENT of `text` (an iCalendar text
// without NUL bytes), in file order, each event's occurrences by start. Never throws; what cannot
// be read is left out.
void appendIcsEvents(const std::string& text, std::uint32_t calendar, const IcsQuery& query,
                     ZoneCache& zones, EventList& out);

// Appends the events of `units` (see unitsToParse), parsed a batch of units at a time: each batch
// is the calendar's header, the VEVENTs of some whole units in text order and the calendar's end.
void appendUnits(const IcsLayout& layout, const std::vector<UnitBlocks>& units,
                 const BlockText& text, std::uint32_t calendar, const IcsQuery& query,
                 ZoneCache& zones, EventList& out);

}  // namespace velkor
