#include "store/store.h"

#include <algorithm>
#include <semaphore>

namespace velkor {

EventList searchEvents(Store& store, Instant start, Instant end,
                       const std::vector<Calendar>& calendars) {
  if (calendars.empty() || !(start < end)) return {};
  end = std::min(end, start + std::chrono::milliseconds(kLongestStoreWindow));
  EventList found = store.events(start, end, calendars);
  found.cut();
  return found;
}

AnswerSignal portableAnswerSignal() {
  auto semaphore = std::make_shared<std::counting_semaphore<>>(0);
  return {[semaphore] { semaphore->release(); },
          [semaphore](std::chrono::milliseconds timeout) {
            (void)semaphore->try_acquire_until(std::chrono::steady_clock::now() + timeout);
          }};
}

}  // namespace velkor
