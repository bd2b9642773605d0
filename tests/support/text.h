// Texts the tests build and compare.
#pragma once

#include <string>
#include <vector>

#include "store/store.h"

namespace velkor::testing {

// Events as one text to the millisecond, which a failed comparison can show: the event at `i`,
// or all of them.
inline std::string describe(const EventList& events, std::size_t i) {
  const EventList::Entry& e = events[i];
  return std::to_string(e.calendar) + "|" + std::string(events.text(e.title)) + "|" +
         (e.location == EventList::kNoText ? "<none>" : std::string(events.text(e.location))) +
         "|" + std::to_string(e.start.time_since_epoch().count()) + "|" +
         std::to_string(e.end.time_since_epoch().count()) + (e.allDay ? "|all-day\n" : "\n");
}

inline std::string describe(const EventList& events) {
  std::string out;
  for (std::size_t i = 0; i < events.size(); ++i) out += describe(events, i);
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
