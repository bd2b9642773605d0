#include "calendars/list.h"

#include <chrono>

#include "access/commands.h"
#include "calendars/color.h"
#include "calendars/kind.h"
#include "calendars/text_sort.h"
#include "output/json.h"

namespace velkor {
namespace {

// A store that may still be loading its accounts right after it is opened is asked again.
constexpr int kMaxRetries = 8;
constexpr std::chrono::milliseconds kPause{250};

}  // namespace

std::vector<Calendar> eventCalendars(Store& store, const Platform& platform) {
  std::vector<Calendar> calendars = store.calendars();
  for (int retries = 0; platform.storeMayStillLoad && calendars.empty() && retries < kMaxRetries;
       ++retries) {
    store.refreshSourcesIfNecessary();
    platform.sleep(kPause);
    calendars = store.calendars();
  }
  return calendars;
}

ExitStatus runCalendars(const Platform& platform, std::ostream& out) {
  if (requireAccess(platform, out) == Gate::kRefused) return kNoAccess;
  const std::unique_ptr<Store> store = openStore(platform);
  const std::vector<Calendar> calendars = eventCalendars(*store, platform);

  std::vector<CalendarOut> records;
  records.reserve(calendars.size());
  for (const Calendar& c : calendars) {
    records.emplace_back(c.id, c.title, c.source ? c.source->title : std::string(),
                         c.source ? kindName(c.source->kind) : std::string("local"), hex(c.color));
  }
  sortCalendars(records);
  emit(out, records);
  return kResult;
}

}  // namespace velkor
