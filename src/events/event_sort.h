#pragma once

#include <cstdint>
#include <vector>

#include "store/event_list.h"

namespace velkor {

// A place in the result order: the event at `position` of the list, with its start's local
// minute (see localMinute), which is also what its start stamp is written from.
struct SortedEvent {
  std::uint64_t start;
  std::uint32_t title;  // the rank of its title in text order
  std::uint32_t position;
};

// The result order of `events`: by start stamp, then by title, in text order; stable.
std::vector<SortedEvent> sortEvents(const EventList& events);

}  // namespace velkor
