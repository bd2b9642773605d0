// The answer's cap: a list with a cap holds exactly the first `cap` events of the whole answer in
// the answer's order (start's local minute, then title in text order, then the order found),
// however the events reach it: one by one, through lists joined behind each other, with cuts on
// the way.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "events/event_sort.h"
#include "store/event_list.h"
#include "support/scoped_env.h"

namespace velkor {
namespace {

struct Found {
  std::uint32_t calendar;  // unique per event, so that every place in the order is checked
  std::string title;
  Instant start, end;
  bool allDay;
  std::string location;
};

using Record = std::tuple<std::uint32_t, std::string, Instant, Instant, bool, std::string>;

// The list as the answer shows it.
std::vector<Record> answer(const EventList& list) {
  std::vector<Record> out;
  for (const SortedEvent& s : sortEvents(list)) {
    const EventList::Entry& e = list[s.position];
    out.emplace_back(e.calendar, std::string(list.text(e.title)), e.start, e.end, e.allDay,
                     e.location == EventList::kNoText ? "" : std::string(list.text(e.location)));
  }
  return out;
}

void add(EventList& list, const Found& f) {
  list.add(f.calendar, f.title, f.start, f.end, f.allDay, f.location);
}

// Starts crowd into the hour New York lives twice (2024-11-03 01:00-02:00 local), seconds apart,
// so that local minutes tie and do not follow instants; titles tie as texts and differ as bytes.
std::vector<Found> generated(std::mt19937& random, std::size_t n) {
  const std::string titles[] = {"b", "a", "B", "", "caf\xc3\xa9", "cafe\xcc\x81", "z"};
  const Instant base = Instant(std::chrono::seconds(1730610000));  // 2024-11-03T05:00Z
  std::vector<Found> out;
  for (std::uint32_t i = 0; i < n; ++i) {
    // Half of them crowd into those hours, the others spread over six weeks around them.
    const auto day =
        std::chrono::days(random() % 2 == 0 ? 0 : static_cast<int>(random() % 41) - 20);
    const Instant start =
        base + day + std::chrono::seconds(random() % 3 * 3600 + random() % 4 * 20);
    out.push_back(Found{i, titles[random() % std::size(titles)], start,
                        start + std::chrono::minutes(random() % 90), random() % 5 == 0,
                        random() % 3 == 0 ? "room " + std::to_string(random() % 4) : ""});
  }
  return out;
}

TEST(AnswerCap, CappedListIsTheWholeAnswerCut) {
  for (const char* zone : {"America/New_York", "UTC", "Asia/Kathmandu"}) {
    const testing::ScopedEnv tz("TZ", zone);
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
      const std::vector<Found> events = generated(random, 1 + random() % 300);
      EventList whole(std::size_t{1} << 20);
      for (const Found& f : events) add(whole, f);
      const std::vector<Record> full = answer(whole);
      for (std::size_t cap : {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{37},
                              events.size() - 1, events.size(), events.size() + 3}) {
        if (cap == 0) continue;
        const std::vector<Record> expected(full.begin(), full.begin() + std::min(cap, full.size()));
        // One by one.
        EventList single(cap);
        for (const Found& f : events) add(single, f);
        single.cut();
        EXPECT_EQ(answer(single), expected) << zone << " cap " << cap;
        // In parts of any size, each a list with the same cap, joined in order.
        EventList joined(cap);
        for (std::size_t from = 0; from < events.size();) {
          const std::size_t to = std::min(events.size(), from + 1 + random() % (3 * cap));
          EventList part(cap);
          for (std::size_t i = from; i < to; ++i) add(part, events[i]);
          joined.append(std::move(part));
          EXPECT_TRUE(part.empty());
          EXPECT_LT(joined.size(), 2 * cap);  // never more than twice the cap
          from = to;
        }
        joined.cut();
        EXPECT_EQ(answer(joined), expected) << zone << " cap " << cap;
      }
    }
  }
}

// What the cut drops leaves the list's texts too: a list of a few events keeps only their texts,
// however many distinct ones passed through it.
TEST(AnswerCap, CutTextsLeaveTheList) {
  const testing::ScopedEnv tz("TZ", "UTC");
  EventList list(3);
  for (int i = 0; i < 1000; ++i) {
    const Instant start = Instant(std::chrono::hours(1000 - i));
    list.add(0, "title " + std::to_string(i), start, start, false, "place " + std::to_string(i));
  }
  list.cut();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_LE(list.textCount(), 6u);
  EXPECT_EQ(list.text(list[0].title), "title 997");
  EXPECT_EQ(list.text(list[2].location), "place 999");
}

}  // namespace
}  // namespace velkor
