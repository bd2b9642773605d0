// Time zones of the file store: the per-run cache behind ZoneCache, and what one file knows about
// the zones its times name.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "filestore/ics_events.h"
#include "filestore/libical.h"

namespace velkor {

struct ZoneCache::Impl {
  struct Defined {
    std::string tzid;  // empty when the block is not one VTIMEZONE with a TZID
    ZonePtr zone;
  };
  std::unordered_map<std::string, Defined> blocks;   // by the VTIMEZONE block's bytes
  std::unordered_map<std::string, ZonePtr> defined;  // by the parsed VTIMEZONE's text
  std::unordered_map<std::string, ZonePtr> system;   // by zone name

  const Defined& fromBlock(std::string_view block);
  icaltimezone* fromDefinition(icalcomponent* vtimezone);
  icaltimezone* fromSystem(const std::string& name);
};

// How a DATE-TIME reads: in UTC, through a zone, or (neither) as local wall time.
struct Frame {
  icaltimezone* zone = nullptr;
  bool utc = false;
};

// A VTIMEZONE of the file: made already (from a block cut out before parsing), or to be made from
// the component libical parsed.
struct Definition {
  std::string_view tzid;
  icaltimezone* zone = nullptr;
  icalcomponent* component = nullptr;
};

// What one file knows about zones: its own VTIMEZONE components, and the names already resolved.
struct FileZones {
  ZoneCache::Impl& cache;
  std::vector<Definition> definitions;
  std::vector<std::pair<std::string, Frame>> resolved;

  Frame frameOf(icalproperty* prop, const icaltimetype& t);
};

}  // namespace velkor
