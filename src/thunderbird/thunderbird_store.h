// Thunderbird's calendars as a Store.
#pragma once

#include <memory>

#include "store/store.h"

namespace velkor {

// Thunderbird's calendars in the profile below $HOME (plain, snap or Flatpak install); null when
// there is no profile. Writes nothing to standard error and never opens the profile's files for
// writing. Its calendar ids start with "/thunderbird/".
std::unique_ptr<Store> openThunderbirdStore();

}  // namespace velkor
