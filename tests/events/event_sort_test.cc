#include "events/event_sort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/text_order.h"

namespace velkor {
namespace {

// Enough records with few distinct keys that any unstable sort would show it.
TEST(SortEvents, ManyTiesKeepTheStoreOrder) {
  const std::vector<std::string> starts = {"2024-03-07T09:00", "2024-03-07T08:59",
                                           "2024-03-07T10:00"};
  const std::vector<std::string> titles = {"Caf\xc3\xa9", "Cafe\xcc\x81", "cafe", "Cafe", "", "Z"};
  std::vector<EventOut> events;
  for (int i = 0; i < 600; ++i) {
    // A scrambled but deterministic walk over the keys; the calendar field keeps the position.
    const size_t k = static_cast<size_t>(i) * 7919 % 1009;
    events.emplace_back(std::to_string(i), titles[k % titles.size()], starts[k % starts.size()], "",
                        false, std::nullopt);
  }
  sortEvents(events);
  ASSERT_EQ(events.size(), 600u);
  int ties = 0;
  for (size_t i = 1; i < events.size(); ++i) {
    const EventOut& a = events[i - 1];
    const EventOut& b = events[i];
    ASSERT_FALSE(textLess(b.start(), a.start())) << i;
    if (a.start() != b.start()) continue;
    ASSERT_FALSE(textLess(b.title(), a.title())) << i;
    if (textEqual(a.title(), b.title())) {
      ++ties;
      EXPECT_LT(std::stoi(a.calendar()), std::stoi(b.calendar())) << i;
    }
  }
  EXPECT_GT(ties, 500);
}

TEST(SortEvents, StartDecidesBeforeTitle) {
  std::vector<EventOut> events = {
      EventOut("1", "a", "2024-03-07T09:01", "", false, std::nullopt),
      EventOut("2", "b", "2024-03-07T09:00", "", false, std::nullopt),
      EventOut("3", "B", "2024-03-07T09:00", "", false, std::nullopt),
      EventOut("4", "", "2024-03-07T09:01", "", false, std::nullopt),
  };
  sortEvents(events);
  std::vector<std::string> order;
  for (const EventOut& e : events) order.push_back(e.calendar());
  EXPECT_EQ(order, (std::vector<std::string>{"3", "2", "4", "1"}));
}

}  // namespace
}  // namespace velkor
