// The event calendars of Evolution Data Server and their search. Only src/eds/ includes this.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "eds/eds_session.h"
#include "store/store.h"

namespace velkor {

struct EdsCalendar {
  Calendar calendar;
  std::shared_ptr<ESource> source;
};

// Every enabled calendar source in the registry's order. Ids are "/eds/" and the source's UID
// escaped as file-store names are.
std::vector<EdsCalendar> listEdsCalendars(ESourceRegistry* registry);

// The account kind of a calendar backend ("caldav", "webcal", ...) as the store's source type;
// `host` is the server's, for telling iCloud from other CalDAV servers.
AccountKind edsAccountKind(std::string_view backend, std::string_view collectionBackend,
                           std::string_view host);

// The events of `calendars` overlapping [start, end) in calendar order, each event's calendar its
// index in `calendars`. Every calendar is opened and asked at once; one that has not answered by
// `deadline` is left out.
EventList searchEdsCalendars(EdsSession& session, const std::vector<const EdsCalendar*>& calendars,
                             Instant start, Instant end, Deadline deadline);

}  // namespace velkor
