// GNOME's calendar store (Evolution Data Server) as a Store. Declared apart from the rest of the
// folder so that no GLib header reaches whoever opens it.
#pragma once

#include <memory>

#include "store/store.h"

namespace velkor {

// The store when EDS's registry answers on the session bus within a few seconds; null otherwise,
// and always in a build without it. Writes nothing to standard error. Its calendar ids start with
// "/eds/", which no file-store id does.
std::unique_ptr<Store> openDesktopStore();

}  // namespace velkor
