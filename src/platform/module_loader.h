// The desktop store of the Linux build, from its module (velkor-calendar-eds.so) when the module is
// there, loads and has this program's version.
#pragma once

#include <memory>

#include "store/store.h"

namespace velkor {

// GNOME's calendar store (Evolution Data Server) when its module loads and the registry answers
// on the session bus within a few seconds; null otherwise. Writes nothing to standard error. Its
// calendar ids start with "/eds/", which no file-store id does.
std::unique_ptr<Store> openDesktopStore();

}  // namespace velkor
