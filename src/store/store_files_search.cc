#include "store/store_files.h"

namespace velkor {

std::vector<Event> searchFileCalendars(const std::vector<FileCalendar>&, Instant, Instant,
                                       SearchMode) {
  return {};
}

}  // namespace velkor
