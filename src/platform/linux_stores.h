// The two stores of the Linux build, and the one that answers from both.
#pragma once

#include <filesystem>
#include <memory>

#include "store/store.h"

namespace velkor {

// The directory of iCalendar files at `root`.
std::unique_ptr<Store> openFileStore(std::filesystem::path root);

// GNOME's calendar store (Evolution Data Server), from its module, when the module loads and the
// registry answers on the session bus within a few seconds; null otherwise. Writes nothing to
// standard error. Its calendar ids start with '/', which no file-store id does.
std::unique_ptr<Store> openDesktopStore();

}  // namespace velkor
