#include "calendars/text_sort.h"

#include <algorithm>
#include <deque>
#include <numeric>
#include <string>

#include "store/text_order.h"

namespace velkor {
namespace {

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::vector<size_t> stableTextOrder(const std::vector<TextKeys>& keys) {
  // ASCII keys are their own NFC form and are compared in place; only the others are normalized,
  // once each, into a deque, whose growth never moves the texts the views point into.
  std::vector<TextKeys> sortKeys(keys);
  std::deque<std::string> normalized;
  for (TextKeys& record : sortKeys) {
    for (std::string_view& key : record) {
      if (isAscii(key)) continue;
      normalized.push_back(textKey(key));
      key = normalized.back();
    }
  }
  std::vector<size_t> order(sortKeys.size());
  std::iota(order.begin(), order.end(), size_t{0});
  // string_view compares bytes as unsigned char: UTF-8 byte order is scalar-value order.
  std::stable_sort(order.begin(), order.end(),
                   [&sortKeys](size_t a, size_t b) { return sortKeys[a] < sortKeys[b]; });
  return order;
}

void sortCalendars(std::vector<CalendarOut>& calendars) {
  std::vector<TextKeys> keys;
  keys.reserve(calendars.size());
  for (const CalendarOut& c : calendars) keys.push_back({c.account(), c.title()});
  applyOrder(calendars, stableTextOrder(keys));
}

}  // namespace velkor
