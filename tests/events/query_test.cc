#include "events/query.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "events/scoped_zone.h"
#include "output/json.h"
#include "support/scripted_store.h"

namespace velkor {
namespace {

using namespace std::chrono;
using testing::ScopedZone;
using testing::Script;

Instant utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0) {
  return Instant(sys_days(year(y) / month(mo) / day(d)) + hours(h) + minutes(mi) + seconds(s));
}

Calendar calendar(std::string id) { return Calendar{std::move(id), "Title", std::nullopt, {}}; }

Event event(std::string calendarId, std::optional<std::string> title, Instant start,
            std::optional<std::string> location = std::nullopt, bool allDay = false) {
  return Event{std::move(calendarId), std::move(title), start,
               start + hours(1),      allDay,           std::move(location)};
}

struct Outcome {
  ExitStatus status;
  std::string out;
  std::string err;
};

Outcome runWith(const std::shared_ptr<Script>& script, const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  const ExitStatus status = runEvents(args, testing::scriptedPlatform(script), Io{out, err});
  return {status, out.str(), err.str()};
}

std::string line(const std::vector<EventOut>& events) { return toJson(events) + "\n"; }

class EventsTest : public ::testing::Test {
 protected:
  ScopedZone zone_{"UTC"};
};

struct WordsCase {
  const char* name;
  std::vector<std::string> args;
};

class EventsWordsTest : public ::testing::TestWithParam<std::tuple<WordsCase, long>> {
 protected:
  ScopedZone zone_{"UTC"};
};

// A broken command line is a usage error before access is even looked at.
TEST_P(EventsWordsTest, UsageLineBeforeTheGate) {
  const auto& [words, access] = GetParam();
  auto script = std::make_shared<Script>();
  script->statuses = {access};
  script->calendarAnswers = {{calendar("a")}};
  const Outcome o = runWith(script, words.args);
  EXPECT_EQ(o.status, kUsage);
  EXPECT_EQ(o.err, kEventsUsage);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(script->statusReads, 0);
  EXPECT_EQ(script->storesOpened, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Words, EventsWordsTest,
    ::testing::Combine(
        ::testing::Values(WordsCase{"NoWords", {"events"}},
                          WordsCase{"NoIdList", {"events", "2024-03-07", "2024-03-08"}},
                          WordsCase{"IdListSplitInTwo",
                                    {"events", "2024-03-07", "2024-03-08", "a,", "b"}},
                          WordsCase{"BadFrom", {"events", "2024-3-07", "2024-03-08", "a"}},
                          WordsCase{"BadTo", {"events", "2024-03-07", "2024-03-08 ", "a"}},
                          WordsCase{"BothBad", {"events", "x", "y", "a"}},
                          WordsCase{"SameDay", {"events", "2024-03-07", "2024-03-07", "a"}},
                          WordsCase{"Reversed", {"events", "2024-03-08", "2024-03-07", "a"}}),
        ::testing::Values(long{kDenied}, long{kFullAccess}, long{kNotDetermined})),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_access" +
             std::to_string(std::get<1>(info.param));
    });

TEST_F(EventsTest, ValidWordsWithoutAccessGiveTheStatusRecord) {
  struct Case {
    long access;
    const char* name;
  };
  for (const Case& c : {Case{kDenied, "denied"}, Case{kNotDetermined, "notDetermined"},
                        Case{kRestricted, "restricted"}}) {
    auto script = std::make_shared<Script>();
    script->statuses = {c.access};
    const Outcome o = runWith(script, {"events", "2024-03-07", "2024-03-08", ""});
    EXPECT_EQ(o.status, kNoAccess) << c.name;
    EXPECT_EQ(o.out, toJson(Status(c.name)) + "\n");
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(script->storesOpened, 0);
    EXPECT_TRUE(script->searches.empty());
  }
}

// None of these ID lists names a calendar of the store: no search is made at all.
TEST_F(EventsTest, NothingSelectedGivesAnEmptyListWithoutSearching) {
  for (const char* ids : {"", ",", ",,,", "nope", " a", "a ", "A", "a\t", "b,c"}) {
    auto script = std::make_shared<Script>();
    script->calendarAnswers = {{calendar("a"), calendar("\xc3\xa9t\xc3\xa9")}};
    script->events = {event("a", "x", utc(2024, 3, 7, 9))};
    const Outcome o = runWith(script, {"events", "2024-03-07", "2024-03-08", ids});
    EXPECT_EQ(o.status, kResult) << '"' << ids << '"';
    EXPECT_EQ(o.out, "[]\n") << '"' << ids << '"';
    EXPECT_EQ(o.err, "");
    EXPECT_TRUE(script->searches.empty()) << '"' << ids << '"';
    EXPECT_EQ(script->storesOpened, 1);
  }
}

TEST_F(EventsTest, StoreWithoutCalendarsIsAskedNineTimesThenGivesAnEmptyList) {
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{}};
  const Outcome o = runWith(script, {"events", "2024-03-07", "2024-03-08", "a"});
  EXPECT_EQ(o.status, kResult);
  EXPECT_EQ(o.out, "[]\n");
  EXPECT_EQ(script->calendarAsks, 9);
  EXPECT_EQ(script->refreshes, 8);
  EXPECT_TRUE(script->searches.empty());
}

TEST_F(EventsTest, SelectsInStoreOrderEachCalendarOnce) {
  struct Case {
    const char* ids;
    std::vector<std::string> searched;
  };
  for (const Case& c : {Case{"c,a", {"a", "c"}}, Case{"a,c", {"a", "c"}}, Case{"a,a,,a", {"a"}},
                        Case{",c,", {"c"}}, Case{"x,b,y", {"b"}},
                        // Canonically equivalent identifiers are equal.
                        Case{"e\xcc\x81t\xc3\xa9", {"\xc3\xa9t\xc3\xa9"}},
                        Case{"\xc3\xa9t\xc3\xa9,c", {"\xc3\xa9t\xc3\xa9", "c"}}}) {
    auto script = std::make_shared<Script>();
    script->calendarAnswers = {
        {calendar("\xc3\xa9t\xc3\xa9"), calendar("a"), calendar("b"), calendar("c")}};
    const Outcome o = runWith(script, {"events", "2024-03-07", "2024-03-08", c.ids});
    EXPECT_EQ(o.status, kResult);
    ASSERT_EQ(script->searches.size(), 1u) << c.ids;
    EXPECT_EQ(script->searches[0].calendarIds, c.searched) << c.ids;
  }
}

TEST_F(EventsTest, SearchesTheWindowFromTheFirstDayToTheLastDayExcluded) {
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{calendar("a")}};
  ScopedZone berlin("Europe/Berlin");
  runWith(script, {"events", "2024-03-30", "2024-04-01", "a"});
  ASSERT_EQ(script->searches.size(), 1u);
  EXPECT_EQ(script->searches[0].start, utc(2024, 3, 29, 23));
  EXPECT_EQ(script->searches[0].end, utc(2024, 3, 31, 22));
}

TEST_F(EventsTest, DuplicateIdentifiersGiveEventsOnce) {
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{calendar("a"), calendar("b")}};
  script->events = {event("a", "One", utc(2024, 3, 7, 9)), event("b", "Two", utc(2024, 3, 7, 10))};
  const Outcome twice = runWith(script, {"events", "2024-03-07", "2024-03-08", "a,a"});
  EXPECT_EQ(
      twice.out,
      line({EventOut("a", "One", "2024-03-07T09:00", "2024-03-07T10:00", false, std::nullopt)}));
  const Outcome swapped = runWith(script, {"events", "2024-03-07", "2024-03-08", "b,a"});
  const Outcome ordered = runWith(script, {"events", "2024-03-07", "2024-03-08", "a,b"});
  EXPECT_EQ(swapped.out, ordered.out);
  EXPECT_EQ(
      ordered.out,
      line({EventOut("a", "One", "2024-03-07T09:00", "2024-03-07T10:00", false, std::nullopt),
            EventOut("b", "Two", "2024-03-07T10:00", "2024-03-07T11:00", false, std::nullopt)}));
}

TEST_F(EventsTest, MapsEventsAndSortsByStartThenTitle) {
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{calendar("a"), calendar("b"), calendar("unwanted")}};
  const Instant nine = utc(2024, 3, 7, 9);
  script->events = {
      event("a", "b-late", nine + seconds(45), std::string("Room 1")),
      event("b", "a-early", nine + seconds(10), std::string("")),
      event("a", "same", nine, std::string("  ")),
      event("unwanted", "never", nine),
      event("b", std::nullopt, nine + seconds(30)),
      event("a", "apple", utc(2024, 3, 7, 8)),
      event("b", "Zed", utc(2024, 3, 7, 8)),
      event("b", "same", nine + seconds(59), std::string("second")),
      event("a", "Holiday", utc(2024, 3, 7), std::nullopt, true),
  };
  const Outcome o = runWith(script, {"events", "2024-03-07", "2024-03-08", "b,a"});
  EXPECT_EQ(o.status, kResult);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(
      o.out,
      line({
          EventOut("a", "Holiday", "2024-03-07T00:00", "2024-03-07T01:00", true, std::nullopt),
          EventOut("b", "Zed", "2024-03-07T08:00", "2024-03-07T09:00", false, std::nullopt),
          EventOut("a", "apple", "2024-03-07T08:00", "2024-03-07T09:00", false, std::nullopt),
          EventOut("b", "", "2024-03-07T09:00", "2024-03-07T10:00", false, std::nullopt),
          EventOut("b", "a-early", "2024-03-07T09:00", "2024-03-07T10:00", false, std::nullopt),
          EventOut("a", "b-late", "2024-03-07T09:00", "2024-03-07T10:00", false, "Room 1"),
          EventOut("a", "same", "2024-03-07T09:00", "2024-03-07T10:00", false, "  "),
          EventOut("b", "same", "2024-03-07T09:00", "2024-03-07T10:00", false, "second"),
      }));
}

TEST_F(EventsTest, LaterEventInTheRepeatedHourCanSortFirst) {
  ScopedZone berlin("Europe/Berlin");
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{calendar("a")}};
  script->events = {event("a", "first", utc(2024, 10, 27, 0, 40)),
                    event("a", "second", utc(2024, 10, 27, 1, 10))};
  const Outcome o = runWith(script, {"events", "2024-10-27", "2024-10-28", "a"});
  EXPECT_EQ(
      o.out,
      line({EventOut("a", "second", "2024-10-27T02:10", "2024-10-27T03:10", false, std::nullopt),
            EventOut("a", "first", "2024-10-27T02:40", "2024-10-27T02:40", false, std::nullopt)}));
}

}  // namespace
}  // namespace velkor
