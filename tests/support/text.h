// Texts the tests build and compare.
#pragma once

#include <string>
#include <vector>

#include "store/store.h"

namespace velkor::testing {

// Events as one text to the millisecond, which a failed comparison can show.

inline std::string describe(const std::vector<Event>& events) {
  std::string out;
  for (const Event& e : events) {
    out += e.calendarId + "|" + e.title.value_or("<none>") + "|" + e.location.value_or("<none>") +
           "|" + std::to_string(e.start.time_since_epoch().count()) + "|" +
           std::to_string(e.end.time_since_epoch().count()) + (e.allDay ? "|all-day\n" : "\n");
  }
  return out;
}

// Every `from` in `s` replaced by `to`, built anew in one pass: replacing in place would move the
// rest of a large text every time.
inline std::string replaced(const std::string& s, const std::string& from, const std::string& to) {
  std::string out;
  std::size_t copied = 0;
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, copied)) {
    out.append(s, copied, at - copied).append(to);
    copied = at + from.size();
  }
  return out.append(s, copied);
}

}  // namespace velkor::testing
