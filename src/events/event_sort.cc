#include "events/event_sort.h"

#include <algorithm>
#include <string>
#include <utility>

#include "events/dates.h"
#include "store/text_order.h"

namespace velkor {
namespace {

// For every text of the list used as a title, its rank in text order (texts with the same key
// share a rank); each text is normalized once, however many events carry it.
std::vector<std::uint32_t> titleRanks(const EventList& events) {
  std::vector<std::uint32_t> rank(events.textCount(), 0);
  std::vector<bool> used(events.textCount(), false);
  for (std::size_t i = 0; i < events.size(); ++i) used[events[i].title] = true;
  std::vector<std::pair<std::string, std::uint32_t>> keys;
  for (std::uint32_t t = 0; t < used.size(); ++t) {
    if (used[t]) keys.emplace_back(textKey(events.text(t)), t);
  }
  std::sort(keys.begin(), keys.end());
  std::uint32_t next = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i > 0 && keys[i].first != keys[i - 1].first) ++next;
    rank[keys[i].second] = next;
  }
  return rank;
}

}  // namespace

std::vector<SortedEvent> sortEvents(const EventList& events) {
  const std::vector<std::uint32_t> rank = titleRanks(events);
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
