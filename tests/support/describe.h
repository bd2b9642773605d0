// Events as one text to the millisecond, which a failed comparison can show.
#pragma once

#include <string>
#include <vector>

#include "store/store.h"

namespace velkor::testing {

inline std::string describe(const std::vector<Event>& events) {
  std::string out;
  for (const Event& e : events) {
    out += e.calendarId + "|" + e.title.value_or("<none>") + "|" + e.location.value_or("<none>") +
           "|" + std::to_string(e.start.time_since_epoch().count()) + "|" +
           std::to_string(e.end.time_since_epoch().count()) + (e.allDay ? "|all-day\n" : "\n");
  }
  return out;
}

}  // namespace velkor::testing
