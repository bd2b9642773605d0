// How a store picks its own calendars out of those it is asked about, keeping where each was asked
// so that its answer can be renumbered (EventList::renumberCalendars) to the caller's indices.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/store.h"

namespace velkor {

template <typename Record>
struct Selection {
  std::vector<Record> records;       // the store's own record of each calendar it knows
  std::vector<std::uint32_t> asked;  // the index of each in the asked list
};

// `lookup(id)` gives a pointer-like record of the store's own calendar, or null for an id it
// does not know (which is then left out).
template <typename Lookup>
auto selectAsked(const std::vector<Calendar>& calendars, Lookup lookup) {
  Selection<decltype(lookup(std::string()))> out;
  for (std::uint32_t i = 0; i < calendars.size(); ++i) {
    if (auto record = lookup(calendars[i].id)) {
      out.records.push_back(record);
      out.asked.push_back(i);
    }
  }
  return out;
}

}  // namespace velkor
