#include "events/event_sort.h"

#include "calendars/text_sort.h"

namespace velkor {

void sortEvents(std::vector<EventOut>& events) {
  std::vector<TextKeys> keys;
  keys.reserve(events.size());
  for (const EventOut& e : events) keys.push_back({e.start(), e.title()});
  applyOrder(events, stableTextOrder(keys));
}

}  // namespace velkor
