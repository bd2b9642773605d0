// The stores of the Linux build, and the one that answers from both.
#pragma once

#include <filesystem>
#include <memory>

#include "store/store.h"

namespace velkor {

// The directory of iCalendar files at `root`.
std::unique_ptr<Store> openFileStore(std::filesystem::path root);

// GNOME's calendar store (Evolution Data Server) when its registry answers on the session bus
// within a few seconds; null otherwise, and always in a build without it. Writes nothing to
// standard error. Its calendar ids start with '/', which no file-store id does.
std::unique_ptr<Store> openDesktopStore();

// Thunderbird's calendars in the profile below $HOME (plain, snap or Flatpak install); null when
// there is no profile. Writes nothing to standard error and never opens the profile's files for
// writing. Its calendar ids start with "/thunderbird/".
std::unique_ptr<Store> openThunderbirdStore();

}  // namespace velkor
