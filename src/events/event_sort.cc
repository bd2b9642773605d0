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
  bool fixedWidth = true;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const std::uint64_t start = localMinute(events[i].start);
    fixedWidth = fixedWidth && hasFixedWidthStamp(start);
    order.push_back(SortedEvent{start, rank[events[i].title], static_cast<std::uint32_t>(i)});
  }
  // The position breaks every tie, so an unstable sort gives the stable order.
  auto byPosition = [](const SortedEvent& a, const SortedEvent& b) {
    return a.position < b.position;
  };
  if (fixedWidth) {
    std::sort(order.begin(), order.end(), [&](const SortedEvent& a, const SortedEvent& b) {
      if (a.start != b.start) return a.start < b.start;
      if (a.title != b.title) return a.title < b.title;
      return byPosition(a, b);
    });
    return order;
  }
  // Stamps of other widths (years past 9999, before 0, none at all) sort as texts, as the stamps
  // that are written: "10000-01-01T00:00" comes before "9999-12-31T00:00".
  std::vector<std::string> stamps(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) appendStamp(stamps[i], order[i].start);
  std::sort(order.begin(), order.end(), [&](const SortedEvent& a, const SortedEvent& b) {
    const int c = stamps[a.position].compare(stamps[b.position]);
    if (c != 0) return c < 0;
    if (a.title != b.title) return a.title < b.title;
    return byPosition(a, b);
  });
  return order;
}

}  // namespace velkor
