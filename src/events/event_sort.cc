#include "events/event_sort.h"

#include <algorithm>

#include "events/dates.h"

namespace velkor {

std::vector<SortedEvent> sortEvents(const EventList& events) {
  const std::vector<std::uint32_t> rank = events.titleRanks();
  std::vector<SortedEvent> order;
  order.reserve(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    order.push_back(SortedEvent{localMinute(events[i].start), rank[events[i].title],
                                static_cast<std::uint32_t>(i)});
  }
  // The local minute orders as the stamp texts do while they are all of one width (years 0 to
  // 9999), and keeps time order past them, where a text "10000-..." would come before "9999-...".
  // The position breaks every tie, so an unstable sort gives the stable order.
  std::sort(order.begin(), order.end(), [](const SortedEvent& a, const SortedEvent& b) {
    if (a.start != b.start) return a.start < b.start;
    if (a.title != b.title) return a.title < b.title;
    return a.position < b.position;
  });
  return order;
}

}  // namespace velkor
