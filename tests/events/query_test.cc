// The `events` command over a scripted store: word checks, the gate, selection, mapping, sorting.
#include "events/query.h"

#include <gtest/gtest.h>

#include <sstream>

#include "events/event_sort.h"
#include "output/json.h"
#include "store/text_order.h"
#include "support/scoped_env.h"
#include "support/scripted_store.h"

namespace velkor {
namespace {

using namespace std::chrono;
using testing::ScopedZone;
using testing::Script;

Instant utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0) {
  return Instant(sys_days(year(y) / month(mo) / day(d)) + hours(h) + minutes(mi) + seconds(s));
}

Calendar cal(std::string id) { return Calendar{std::move(id), "Title", std::nullopt, {}}; }

Event ev(std::string calendarId, std::optional<std::string> title, Instant start,
         std::optional<std::string> location = std::nullopt, bool allDay = false) {
  return Event{std::move(calendarId), std::move(title), start,
               start + hours(1),      allDay,           std::move(location)};
}

struct Outcome {
  ExitStatus status;
  std::string out;
  std::string err;
};

Outcome run(const std::shared_ptr<Script>& script, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const ExitStatus status = runEvents(args, testing::scriptedPlatform(script), Io{out, err});
  return {status, out.str(), err.str()};
}

Outcome runIds(const std::shared_ptr<Script>& script, const std::string& ids) {
  return run(script, {"events", "2024-03-07", "2024-03-08", ids});
}

class Events : public ::testing::Test {
 protected:
  ScopedZone zone_{"UTC"};
};

TEST_F(Events, BrokenWordsAreAUsageErrorBeforeTheGateIsRead) {
  const std::vector<std::vector<std::string>> cases = {
      {"events"},
      {"events", "2024-03-07", "2024-03-08"},
      {"events", "2024-03-07", "2024-03-08", "a,", "b"},
      {"events", "2024-3-07", "2024-03-08", "a"},
      {"events", "2024-03-07", "2024-03-08 ", "a"},
      {"events", "2024-03-07", "2024-03-07", "a"},
      {"events", "2024-03-08", "2024-03-07", "a"}};
  for (const auto& args : cases) {
    auto script = std::make_shared<Script>();
    script->statuses = {kDenied};
    const Outcome o = run(script, args);
    EXPECT_EQ(o.status, kUsage) << args.size() << args.back();
    EXPECT_EQ(o.err, kEventsUsage);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(script->statusReads, 0);
  }
}

TEST_F(Events, ValidWordsWithoutAccessGiveTheStatusRecordAndOpenNoStore) {
  auto script = std::make_shared<Script>();
  script->statuses = {kNotDetermined};
  const Outcome o = runIds(script, "");
  EXPECT_EQ(o.status, kNoAccess);
  EXPECT_EQ(o.out, "{\"access\":\"notDetermined\"}\n");
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(script->storesOpened, 0);
}

// Calendars are selected in store order, once each, canonically equivalent identifiers being
// equal; when none is selected (or the store never lists any) no search is made.
TEST_F(Events, SelectsInStoreOrderEachCalendarOnce) {
  struct Case {
    const char* ids;
    std::vector<std::string> searched;
    bool emptyStore = false;
  };
  const Case cases[] = {{"c,a", {"a", "c"}},
                        {"a,a,,a", {"a"}},
                        {",c,", {"c"}},
                        {"x,b,y", {"b"}},
                        {"e\xcc\x81t\xc3\xa9", {"\xc3\xa9t\xc3\xa9"}},
                        {"", {}},
                        {" a", {}},
                        {"A", {}},
                        {"a", {}, true}};
  for (const Case& c : cases) {
    auto script = std::make_shared<Script>();
    script->calendarAnswers = {{}};
    if (!c.emptyStore) {
      script->calendarAnswers = {{cal("\xc3\xa9t\xc3\xa9"), cal("a"), cal("b"), cal("c")}};
    }
    script->events = {ev("a", "x", utc(2024, 3, 7, 9))};
    const Outcome o = runIds(script, c.ids);
    EXPECT_EQ(o.status, kResult);
    EXPECT_EQ(script->storesOpened, 1);
    EXPECT_EQ(script->calendarAsks, c.emptyStore ? 9 : 1);
    if (c.searched.empty()) {
      EXPECT_TRUE(script->searches.empty()) << '"' << c.ids << '"';
      EXPECT_EQ(o.out, "[]\n") << '"' << c.ids << '"';
    } else {
      ASSERT_EQ(script->searches.size(), 1u) << c.ids;
      EXPECT_EQ(script->searches[0].calendarIds, c.searched) << c.ids;
    }
  }
}

TEST_F(Events, SearchesFromTheFirstLocalDayToTheLastExcluded) {
  ScopedZone berlin("Europe/Berlin");
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{cal("a")}};
  run(script, {"events", "2024-03-30", "2024-04-01", "a"});
  ASSERT_EQ(script->searches.size(), 1u);
  EXPECT_EQ(script->searches[0].start, utc(2024, 3, 29, 23));
  EXPECT_EQ(script->searches[0].end, utc(2024, 3, 31, 22));
}

TEST_F(Events, MapsEventsAndSortsByStartThenTitle) {
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{cal("a"), cal("b"), cal("unwanted")}};
  const Instant nine = utc(2024, 3, 7, 9);
  script->events = {ev("a", "b-late", nine + seconds(45), "Room 1"),
                    ev("b", "a-early", nine + seconds(10), ""),
                    ev("a", "same", nine, "  "),
                    ev("unwanted", "never", nine),
                    ev("b", std::nullopt, nine + seconds(30)),
                    ev("a", "apple", utc(2024, 3, 7, 8)),
                    ev("b", "Zed", utc(2024, 3, 7, 8)),
                    ev("b", "same", nine + seconds(59), "second"),
                    ev("a", "Holiday", utc(2024, 3, 7), std::nullopt, true)};
  const Outcome o = runIds(script, "b,a");
  EXPECT_EQ(o.status, kResult);
  EXPECT_EQ(o.err, "");
  const char* s = "2024-03-07T09:00";
  const char* e = "2024-03-07T10:00";
  EXPECT_EQ(o.out, toJson(std::vector<EventOut>{
                       {"a", "Holiday", "2024-03-07T00:00", "2024-03-07T01:00", true, {}},
                       {"b", "Zed", "2024-03-07T08:00", s, false, {}},
                       {"a", "apple", "2024-03-07T08:00", s, false, {}},
                       {"b", "", s, e, false, {}},
                       {"b", "a-early", s, e, false, {}},
                       {"a", "b-late", s, e, false, "Room 1"},
                       {"a", "same", s, e, false, "  "},
                       {"b", "same", s, e, false, "second"}}) +
                       "\n");
}

// Sorting goes by the stamp texts: in the repeated hour a later event can come first.
TEST_F(Events, LaterEventInTheRepeatedHourCanSortFirst) {
  ScopedZone berlin("Europe/Berlin");
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{cal("a")}};
  script->events = {ev("a", "first", utc(2024, 10, 27, 0, 40)),
                    ev("a", "second", utc(2024, 10, 27, 1, 10))};
  EXPECT_EQ(run(script, {"events", "2024-10-27", "2024-10-28", "a"}).out,
            toJson(std::vector<EventOut>{
                {"a", "second", "2024-10-27T02:10", "2024-10-27T03:10", false, {}},
                {"a", "first", "2024-10-27T02:40", "2024-10-27T02:40", false, {}}}) +
                "\n");
}

// Enough records with few distinct keys that an unstable sort would show it.
TEST(SortEvents, ManyTiesKeepTheStoreOrder) {
  const std::string starts[] = {"2024-03-07T09:00", "2024-03-07T08:59", "2024-03-07T10:00"};
  const std::string titles[] = {"Caf\xc3\xa9", "Cafe\xcc\x81", "cafe", "Cafe", "", "Z"};
  std::vector<EventOut> events;
  for (int i = 0; i < 600; ++i) {
    const size_t k = static_cast<size_t>(i) * 7919 % 1009;
    events.emplace_back(std::to_string(i), titles[k % 6], starts[k % 3], "", false, std::nullopt);
  }
  sortEvents(events);
  int ties = 0;
  for (size_t i = 1; i < events.size(); ++i) {
    const EventOut& a = events[i - 1];
    const EventOut& b = events[i];
    ASSERT_FALSE(textLess(b.start(), a.start())) << i;
    if (a.start() != b.start()) continue;
    ASSERT_FALSE(textLess(b.title(), a.title())) << i;
    if (!textEqual(a.title(), b.title())) continue;
    ++ties;
    EXPECT_LT(std::stoi(a.calendar()), std::stoi(b.calendar())) << i;
  }
  EXPECT_GT(ties, 500);
}

}  // namespace
}  // namespace velkor
