#pragma once

#include <ostream>
#include <vector>

#include "output/usage.h"
#include "store/store.h"

namespace velkor {

// The store's event calendars; while the store has none and the platform says it may still be
// loading, refreshes, pauses 0.25 s and asks again, at most 8 times.
std::vector<Calendar> eventCalendars(Store& store, const Platform& platform);

// The `calendars` command after dispatch: gate, listing sorted by account then title, emit.
ExitStatus runCalendars(const Platform& platform, std::ostream& out);

}  // namespace velkor
