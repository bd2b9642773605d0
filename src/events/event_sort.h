#pragma once

#include <vector>

#include "output/records.h"

namespace velkor {

// The result order of `events`: by start, then by title, in text order; stable.
void sortEvents(std::vector<EventOut>& events);

}  // namespace velkor
