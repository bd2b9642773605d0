#include "calendars/list.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "calendars/text_sort.h"
#include "cli/dispatch.h"
#include "output/json.h"
#include "support/scripted_store.h"

namespace velkor {
namespace {

using std::chrono::milliseconds;
using testing::Script;

Calendar calendar(std::string id, std::string title, std::optional<Source> source = std::nullopt,
                  std::optional<SrgbComponents> color = std::nullopt) {
  return Calendar{std::move(id), std::move(title), std::move(source), std::move(color)};
}

std::vector<std::string> ids(const std::vector<Calendar>& calendars) {
  std::vector<std::string> out;
  for (const Calendar& c : calendars) out.push_back(c.id);
  return out;
}

struct RetryCase {
  const char* name;
  std::vector<std::vector<Calendar>> answers;
  std::vector<std::string> ids;
  int asks;
};

class EventCalendarsTest : public ::testing::TestWithParam<RetryCase> {};

TEST_P(EventCalendarsTest, WaitsForTheStoreABoundedTime) {
  const RetryCase& c = GetParam();
  auto script = std::make_shared<Script>();
  script->calendarAnswers = c.answers;
  const Platform platform = testing::scriptedPlatform(script);
  const std::unique_ptr<Store> store = platform.openStore();
  EXPECT_EQ(ids(eventCalendars(*store, platform)), c.ids);
  EXPECT_EQ(script->calendarAsks, c.asks);
  // One refresh and one pause of a quarter second between every two asks, none before the first.
  EXPECT_EQ(script->refreshes, c.asks - 1);
  EXPECT_EQ(script->sleeps,
            std::vector<milliseconds>(static_cast<size_t>(c.asks - 1), milliseconds(250)));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, EventCalendarsTest,
    ::testing::Values(
        RetryCase{"FirstAskAnswered", {{calendar("a", "A")}}, {"a"}, 1},
        RetryCase{"ThreeEmptyAnswers",
                  {{}, {}, {}, {calendar("a", "A"), calendar("b", "B")}, {calendar("z", "Z")}},
                  {"a", "b"},
                  4},
        RetryCase{"AnswerAtTheLastAsk",
                  {{}, {}, {}, {}, {}, {}, {}, {}, {calendar("late", "L")}},
                  {"late"},
                  9},
        RetryCase{
            "AnswerTooLate", {{}, {}, {}, {}, {}, {}, {}, {}, {}, {calendar("never", "N")}}, {}, 9},
        RetryCase{"NeverAnswered", {{}}, {}, 9}),
    [](const auto& info) { return std::string(info.param.name); });

struct Listing {
  ExitStatus status;
  std::string out;
};

Listing listWith(const std::shared_ptr<Script>& script) {
  std::ostringstream out;
  const ExitStatus status = runCalendars(testing::scriptedPlatform(script), out);
  return {status, out.str()};
}

TEST(Calendars, WithoutAccessPrintsTheStatusAndOpensNoStore) {
  struct Case {
    long access;
    const char* name;
  };
  for (const Case& c : {Case{kDenied, "denied"}, Case{kNotDetermined, "notDetermined"},
                        Case{kWriteOnly, "writeOnly"}}) {
    auto script = std::make_shared<Script>();
    script->statuses = {c.access};
    script->calendarAnswers = {{calendar("a", "A")}};
    const Listing l = listWith(script);
    EXPECT_EQ(l.status, kNoAccess);
    EXPECT_EQ(l.out, toJson(Status(c.name)) + "\n");
    EXPECT_EQ(script->storesOpened, 0);
    EXPECT_EQ(script->calendarAsks, 0);
  }
}

TEST(Calendars, ListsByAccountThenTitleWithKindsAndColours) {
  const Source work{"Work", 2};
  const Source home{"Home", 3};
  const std::string precomposed = "Caf\xc3\xa9";  // "Café" with U+00E9
  const std::string combining = "Cafe\xcc\x81";   // "Café" with U+0301
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{
      calendar("w-b", "b", work, SrgbComponents{0.8, 0.4, 0.2, 1.0}),
      calendar("h-z", "zeta", home),
      calendar("w-a", "a", work, SrgbComponents{0.5, 0.5}),
      calendar("h-Z", "Zeta", home, SrgbComponents{0, 0, 0, 0}),
      calendar("local", "Mine"),
      calendar("h-1", "1st", home),
      calendar("x-pre", precomposed, Source{"Other", 6}),
      calendar("x-comb", combining, Source{"Other", -1}),
      calendar("w-a2", "a", work),
      calendar("sub", "f", Source{"Feeds", 4}),
      calendar("x-cafe", "Cafe", Source{"Other", 5}),
      calendar("x-caff", "Caff", Source{"Other", 1}),
      calendar("loc", "local", Source{"", 0}),
  }};
  const Listing l = listWith(script);
  EXPECT_EQ(l.status, kResult);
  EXPECT_EQ(script->storesOpened, 1);
  const std::vector<CalendarOut> expected = {
      CalendarOut("local", "Mine", "", "local", std::nullopt),
      CalendarOut("loc", "local", "", "local", std::nullopt),
      CalendarOut("sub", "f", "Feeds", "subscribed", std::nullopt),
      CalendarOut("h-1", "1st", "Home", "icloud", std::nullopt),
      CalendarOut("h-Z", "Zeta", "Home", "icloud", "#000000"),
      CalendarOut("h-z", "zeta", "Home", "icloud", std::nullopt),
      // "Cafe" < "Caff" < "Café": U+00E9 comes after every ASCII letter.
      CalendarOut("x-cafe", "Cafe", "Other", "birthdays", std::nullopt),
      CalendarOut("x-caff", "Caff", "Other", "exchange", std::nullopt),
      CalendarOut("x-pre", precomposed, "Other", "other", std::nullopt),
      CalendarOut("x-comb", combining, "Other", "other", std::nullopt),
      CalendarOut("w-a", "a", "Work", "caldav", std::nullopt),
      CalendarOut("w-a2", "a", "Work", "caldav", std::nullopt),
      CalendarOut("w-b", "b", "Work", "caldav", "#cc6633"),
  };
  EXPECT_EQ(l.out, toJson(expected) + "\n");
}

TEST(Calendars, EquivalentTitlesKeepTheStoreOrder) {
  const std::string precomposed = "\xc3\x85ngstr\xc3\xb6m";  // Å, ö precomposed
  const std::string decomposed = "A\xcc\x8angstro\xcc\x88m";
  const std::string sign =
      "\xe2\x84\xab"
      "ngstr\xc3\xb6m";  // ANGSTROM SIGN, NFC is Å
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{calendar("3", sign, Source{"A", 0}),
                              calendar("1", decomposed, Source{"A", 0}),
                              calendar("2", precomposed, Source{"A", 0})}};
  const Listing l = listWith(script);
  EXPECT_EQ(l.out, toJson(std::vector<CalendarOut>{
                       CalendarOut("3", sign, "A", "local", std::nullopt),
                       CalendarOut("1", decomposed, "A", "local", std::nullopt),
                       CalendarOut("2", precomposed, "A", "local", std::nullopt)}) +
                       "\n");
}

TEST(Calendars, EmptyStoreListsNothingAfterTheRetries) {
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{}};
  const Listing l = listWith(script);
  EXPECT_EQ(l.status, kResult);
  EXPECT_EQ(l.out, "[]\n");
  EXPECT_EQ(script->calendarAsks, 9);
  EXPECT_EQ(script->sleeps.size(), 8u);
}

TEST(Calendars, FurtherWordsAreIgnored) {
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{calendar("b", "B"), calendar("a", "A")}};
  std::ostringstream plainOut, plainErr, extraOut, extraErr;
  const Platform platform = testing::scriptedPlatform(script);
  EXPECT_EQ(dispatch({"calendars"}, platform, Io{plainOut, plainErr}), kResult);
  EXPECT_EQ(dispatch({"calendars", "--all", "x"}, platform, Io{extraOut, extraErr}), kResult);
  EXPECT_EQ(plainOut.str(),
            toJson(std::vector<CalendarOut>{CalendarOut("a", "A", "", "local", std::nullopt),
                                            CalendarOut("b", "B", "", "local", std::nullopt)}) +
                "\n");
  EXPECT_EQ(extraOut.str(), plainOut.str());
  EXPECT_EQ(extraErr.str(), "");
}

TEST(StableTextOrder, OrdersByFirstKeyThenSecondKeepingTies) {
  const std::vector<TextKeys> keys = {{"b", "x"}, {"a", "y"}, {"a", "x"}, {"b", "x"},
                                      {"", "z"},  {"a", "x"}, {"B", "x"}};
  EXPECT_EQ(stableTextOrder(keys), (std::vector<size_t>{4, 6, 2, 5, 1, 0, 3}));
  EXPECT_TRUE(stableTextOrder({}).empty());
}

// Keys around 16 bytes long, equal in their first bytes, differing only further on or in length.
TEST(StableTextOrder, LongKeysSharingTheirBeginning) {
  using namespace std::string_view_literals;
  const std::vector<std::string_view> ordered = {
      ""sv,
      "\0"sv,
      "2024-03-07T09:00"sv,
      "2024-03-07T09:00\0"sv,
      "2024-03-07T09:00\0\0"sv,
      "2024-03-07T09:00\x01"sv,
      "2024-03-07T09:00a"sv,
      "2024-03-07T09:00ab"sv,
      "2024-03-07T09:00b"sv,
      "2024-03-07T09:00\xc3\xa9"sv,
      "2024-03-07T09:01"sv,
      "Planning meeting 1"sv,
      "Planning meeting 10"sv,
      "Planning meeting 2"sv,
      "Planning meeting\xc3\xa9"sv,
      "\xc3\xa9"sv,
  };
  // Every key as the first of the pair, then as the second behind an equal first, scrambled.
  for (const int column : {0, 1}) {
    std::vector<TextKeys> keys;
    for (size_t i = 0; i < ordered.size(); ++i) {
      const std::string_view key = ordered[(i * 7) % ordered.size()];
      keys.push_back(column == 0 ? TextKeys{key, "same"} : TextKeys{"same", key});
    }
    std::vector<std::string_view> got;
    for (const size_t i : stableTextOrder(keys))
      got.push_back(keys[i][static_cast<size_t>(column)]);
    EXPECT_EQ(got, ordered) << "column " << column;
  }
  // Combining marks beyond the first 16 bytes are normalized before the comparison.
  const std::vector<TextKeys> equivalent = {{"Planning meeting e\xcc\x81", "b"},
                                            {"Planning meeting \xc3\xa9", "a"},
                                            {"Planning meeting f", "c"}};
  EXPECT_EQ(stableTextOrder(equivalent), (std::vector<size_t>{2, 1, 0}));
}

}  // namespace
}  // namespace velkor
