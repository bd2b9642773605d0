// Thunderbird's stored times as iCalendar values. A time is kept as microseconds since 1970 in
// UTC with a zone text beside it: an Olson name, "UTC", "floating" (the wall time stored as if it
// were UTC) or a whole VTIMEZONE of a zone Thunderbird did not know.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "ical/libical.h"

namespace velkor {

// A time written out: its parameters (";TZID=...", ";VALUE=DATE" or none) and value.
struct TimeText {
  std::string parameters;
  std::string value;
  std::string zoneDefinition;  // the VTIMEZONE the TZID names when the row carried it; else empty
};

// Zones made once per run.
class StoredClock {
 public:
  // The iCalendar form of `micros` in the zone `zone` names, as a DATE when `date`; none when
  // the year is out of 1..9999. A zone that cannot be made reads as UTC, as Thunderbird does.
  std::optional<TimeText> text(std::int64_t micros, std::string_view zone, bool date);

 private:
  struct Zone {
    ZonePtr zone;
    std::string tzid;
    std::string definition;  // with CRLF line ends
  };
  const Zone* zoneOf(std::string_view zone);

  std::map<std::string, Zone, std::less<>> zones_;
};

}  // namespace velkor
