// Time zones of the file store: the per-run cache behind ZoneCache, what one file knows about the
// zones its times name, and the conversions between wall times and instants.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ical/ics_events.h"
#include "ical/libical.h"

namespace velkor {

// A zone a file defines, and the instant of its first change: before it the VTIMEZONE says
// nothing, and the zone database's zone of the same name (when there is one) is used instead.
struct OwnZone {
  ZonePtr zone;
  Seconds onset = 0;
};

// The zones of a run on one thread, behind ZoneCache.
struct ZoneTable {
  struct Defined {
    std::string tzid;  // as the block spells it; empty when the block is not one VTIMEZONE
    OwnZone own;
  };
  std::unordered_map<std::string, Defined> blocks;   // by the VTIMEZONE block's bytes
  std::unordered_map<std::string, OwnZone> defined;  // by the parsed VTIMEZONE's text
  std::unordered_map<std::string, ZonePtr> system;   // by zone name as written

  const Defined& fromBlock(std::string_view block);
  const OwnZone& fromDefinition(icalcomponent* vtimezone);
  // The zone database's zone of a name, or of a Windows zone name; none when neither.
  icaltimezone* fromSystem(const std::string& name);
};

// How a DATE-TIME reads: in UTC, through a zone, or (neither) as local wall time.
struct Frame {
  icaltimezone* zone = nullptr;
  bool utc = false;
  icaltimezone* before = nullptr;  // used instead of `zone` for instants before `onset`
  Seconds onset = 0;
};

// A VTIMEZONE of the file: made already (from a block cut out before parsing), or to be made from
// the component libical parsed.
struct Definition {
  std::string_view tzid;
  const OwnZone* own = nullptr;
  icalcomponent* component = nullptr;
};

// What one file knows about zones: its own VTIMEZONE components, the zone its calendar names for
// floating times (X-WR-TIMEZONE), and the names already resolved.
struct FileZones {
  explicit FileZones(ZoneCache& c) : cache(*c.table_) {}

  ZoneTable& cache;
  std::vector<Definition> definitions;
  std::vector<std::pair<std::string, Frame>> resolved;
  std::string calendarZone;
  std::optional<Frame> floating;

  // The frame of a DATE-TIME property. A time without zone reads in `unzoned` when given (the
  // frame of its event's start), else in the calendar's zone, else on the local clock.
  Frame frameOf(icalproperty* prop, const icaltimetype& t,
                const std::optional<Frame>& unzoned = std::nullopt);

  // The zone a DATE-TIME property names with TZID, even when its value ends in Z; else `otherwise`.
  Frame clockOf(icalproperty* prop, const Frame& otherwise);

 private:
  Frame byName(const std::string& tzid);
  Frame floatingFrame();
};

// Seconds since 1970 of a wall time read as UTC, and back.
Seconds utcSeconds(const icaltimetype& t);
icaltimetype wallOf(Seconds s);

// The UTC offset in force at instant `s` in `frame`; none when the C library cannot tell.
std::optional<Seconds> offsetAt(const Frame& frame, Seconds s);

// The instant of wall time `wall` (seconds since 1970 read as UTC) in `frame`. A wall time the
// clock skips reads with the offset before the change (02:30 of a spring-forward night is 03:30);
// one it passes twice is the first of the two.
std::optional<Seconds> instantOf(Seconds wall, const Frame& frame);

}  // namespace velkor
