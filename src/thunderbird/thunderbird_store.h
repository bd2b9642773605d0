// Thunderbird's calendars, the third store of the Linux build.
#pragma once

#include <memory>

#include "store/store.h"

namespace velkor {

// Thunderbird's calendars in the profile below $HOME (plain, snap or Flatpak install); null when
// there is no profile. Writes nothing to standard error and never opens the profile's files for
// writing. Its calendar ids start with "/thunderbird/", which no file-store or EDS id does.
std::unique_ptr<Store> openThunderbirdStore();

}  // namespace velkor
