#include "calendars/text_sort.h"

#include <algorithm>
#include <string>

#include "store/text_order.h"

namespace velkor {

std::vector<size_t> stableTextOrder(const std::vector<TextKeys>& keys) {
  // Each text is normalized once; byte order of UTF-8 keys is scalar-value order.
  std::vector<std::pair<std::string, std::string>> normalized;
  normalized.reserve(keys.size());
  for (const TextKeys& k : keys) normalized.emplace_back(textKey(k[0]), textKey(k[1]));
  std::vector<size_t> order(keys.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return normalized[a] < normalized[b]; });
  return order;
}

void sortCalendars(std::vector<CalendarOut>& calendars) {
  std::vector<TextKeys> keys;
  keys.reserve(calendars.size());
  for (const CalendarOut& c : calendars) keys.push_back({c.account(), c.title()});
  applyOrder(calendars, stableTextOrder(keys));
}

}  // namespace velkor
