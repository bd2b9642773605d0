// The listing's sort: records by two texts in text order, stable, each text normalized once.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "output/records.h"

namespace velkor {

// The two texts a record sorts by, most significant first.
using TextKeys = std::array<std::string_view, 2>;

// The positions of `keys` in ascending text order of (first, second); positions with equal keys
// stay in their original order. The views need to live only for the call.
std::vector<size_t> stableTextOrder(const std::vector<TextKeys>& keys);

// Rearranges `records` so that the i-th record is the one that stood at `order[i]`.
template <typename Record>
void applyOrder(std::vector<Record>& records, const std::vector<size_t>& order) {
  std::vector<Record> sorted;
  sorted.reserve(order.size());
  for (const size_t i : order) sorted.push_back(std::move(records[i]));
  records = std::move(sorted);
}

// The listing order of calendars: by account, then by title.
void sortCalendars(std::vector<CalendarOut>& calendars);

}  // namespace velkor
