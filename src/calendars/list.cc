#include "calendars/list.h"

#include "output/json.h"
#include "store/access.h"

namespace velkor {

std::vector<Calendar> eventCalendars(Store& store, const Platform&) { return store.calendars(); }

ExitStatus runCalendars(const Platform& platform, std::ostream& out) {
  if (requireAccess(platform, out) == Gate::kRefused) return kNoAccess;
  emit(out, std::vector<CalendarOut>{});
  return kResult;
}

}  // namespace velkor
