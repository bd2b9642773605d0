#include "events/query.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_set>

#include "access/commands.h"
#include "calendars/list.h"
#include "events/dates.h"
#include "events/event_sort.h"
#include "output/json.h"
#include "store/text_order.h"

namespace velkor {
namespace {

// The pieces of the ID list between commas, empty ones dropped, each as its text-order key so that
// canonically equivalent identifiers meet in the set.
std::unordered_set<std::string> wantedIdentifiers(std::string_view list) {
  std::unordered_set<std::string> wanted;
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(',', begin);
    if (end == std::string_view::npos) end = list.size();
    if (end > begin) wanted.insert(textKey(list.substr(begin, end - begin)));
    begin = end + 1;
  }
  return wanted;
}

// The answer in result order, each record's stamps made as it goes out. The order is complete
// before the first byte is written; after it, nothing can fail (see EventArrayWriter), so the
// line is written whole or not at all, as when it was built in one string.
void writeEvents(std::ostream& out, const EventList& found,
                 const std::vector<Calendar>& calendars) {
  EventArrayWriter writer(out);
  std::string start, end;
  for (const SortedEvent& s : sortEvents(found)) {
    const EventList::Entry& e = found[s.position];
    localStamp(s.start, start);
    localStamp(localMinute(e.end), end);
    EventFields fields;
    fields.allDay = e.allDay;
    fields.calendar = calendars[e.calendar].id;
    fields.end = end;
    if (e.location != EventList::kNoText) fields.location = found.text(e.location);
    fields.start = start;
    fields.title = found.text(e.title);
    writer.add(fields);
  }
  writer.finish();
}

}  // namespace

ExitStatus runEvents(const std::vector<std::string>& args, const Platform& platform, Io io) {
  // Every word is checked before the gate: a broken command line is a usage error whatever the
  // access.
  if (args.size() != 4) return usageError(io.err, kEventsUsage);
  const std::optional<Instant> from = localDay(args[1]);
  if (!from) return usageError(io.err, kEventsUsage);
  const std::optional<Instant> to = localDay(args[2]);
  if (!to) return usageError(io.err, kEventsUsage);
  if (!(*from < *to)) return usageError(io.err, kEventsUsage);

  if (requireAccess(platform, io.out) == Gate::kRefused) return kNoAccess;
  const std::unique_ptr<Store> store = openStore(platform);
  const std::unordered_set<std::string> wanted = wantedIdentifiers(args[3]);
  const std::vector<Calendar> calendars = eventCalendars(*store, platform);

  std::vector<Calendar> selected;
  if (!wanted.empty()) {
    for (const Calendar& c : calendars) {
      if (wanted.contains(textKey(c.id))) selected.push_back(c);
    }
  }
  writeEvents(io.out, searchEvents(*store, *from, *to, selected), selected);
  return kResult;
}

}  // namespace velkor
