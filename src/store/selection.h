// How a store picks its own calendars out of those it is asked about, keeping where each was asked
// so that its answer can be renumbered (EventList::renumberCalendars) to the caller's indices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
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

// The same over a store's listing, whose records carry the listed `calendar`.
template <typename Record>
Selection<const Record*> selectListed(const std::vector<Record>& listed,
                                      const std::vector<Calendar>& calendars) {
  std::unordered_map<std::string_view, const Record*> byId;
  for (const Record& r : listed) byId.emplace(r.calendar.id, &r);
  return selectAsked(calendars, [&](const std::string& id) -> const Record* {
    const auto it = byId.find(id);
    return it == byId.end() ? nullptr : it->second;
  });
}

// The calendars of a store's listing, in its order.
template <typename Record>
std::vector<Calendar> calendarsOf(const std::vector<Record>& listed) {
  std::vector<Calendar> out;
  out.reserve(listed.size());
  for (const Record& r : listed) out.push_back(r.calendar);
  return out;
}

}  // namespace velkor
