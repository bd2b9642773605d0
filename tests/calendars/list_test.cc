// The `calendars` command over a scripted store: the bounded wait, the gate, the listing order.
#include "calendars/list.h"

#include <gtest/gtest.h>

#include <sstream>

#include "calendars/text_sort.h"
#include "output/json.h"
#include "support/scripted_store.h"

namespace velkor {
namespace {

using std::chrono::milliseconds;
using testing::Script;

Calendar cal(std::string id, std::string title, std::optional<Source> source = std::nullopt,
             std::optional<SrgbComponents> color = std::nullopt) {
  return Calendar{std::move(id), std::move(title), std::move(source), std::move(color)};
}

TEST(EventCalendars, AsksAtMostNineTimesWithARefreshAndAQuarterSecondBetween) {
  struct Case {
    std::vector<std::vector<Calendar>> answers;  // the last one repeats
    size_t found;
    int asks;
  };
  const std::vector<Calendar> one = {cal("a", "A")};
  const std::vector<Calendar> two = {cal("a", "A"), cal("b", "B")};
  const Case cases[] = {{{one}, 1, 1},
                        {{{}, {}, {}, two, one}, 2, 4},
                        {{{}, {}, {}, {}, {}, {}, {}, {}, one}, 1, 9},
                        {{{}, {}, {}, {}, {}, {}, {}, {}, {}, one}, 0, 9},
                        {{{}}, 0, 9}};
  for (const Case& c : cases) {
    auto script = std::make_shared<Script>();
    script->calendarAnswers = c.answers;
    const Platform platform = testing::scriptedPlatform(script);
    EXPECT_EQ(eventCalendars(*platform.openStore(), platform).size(), c.found) << c.asks;
    EXPECT_EQ(script->calendarAsks, c.asks);
    EXPECT_EQ(script->refreshes, c.asks - 1);
    EXPECT_EQ(script->sleeps, std::vector<milliseconds>(size_t(c.asks - 1), milliseconds(250)));
  }
}

std::string listWith(const std::shared_ptr<Script>& script, ExitStatus expected) {
  std::ostringstream out;
  EXPECT_EQ(runCalendars(testing::scriptedPlatform(script), out), expected);
  return out.str();
}

TEST(Calendars, WithoutAccessPrintsTheStatusAndOpensNoStore) {
  auto script = std::make_shared<Script>();
  script->statuses = {kWriteOnly};
  script->calendarAnswers = {{cal("a", "A")}};
  EXPECT_EQ(listWith(script, kNoAccess), "{\"access\":\"writeOnly\"}\n");
  EXPECT_EQ(script->storesOpened, 0);
}

TEST(Calendars, ListsByAccountThenTitleInTextOrderKeepingTies) {
  const Source work{"Work", 2};
  const Source home{"Home", 3};
  const std::string precomposed = "Caf\xc3\xa9";
  const std::string combining = "Cafe\xcc\x81";
  auto script = std::make_shared<Script>();
  script->calendarAnswers = {{
      cal("w-b", "b", work, SrgbComponents{0.8, 0.4, 0.2, 1.0}),
      cal("h-z", "zeta", home),
      cal("w-a", "a", work, SrgbComponents{0.5, 0.5}),
      cal("h-Z", "Zeta", home, SrgbComponents{0, 0, 0, 0}),
      cal("local", "Mine"),
      cal("x-pre", precomposed, Source{"Other", 6}),
      cal("x-comb", combining, Source{"Other", -1}),
      cal("w-a2", "a", work),
      cal("x-cafe", "Cafe", Source{"Other", 5}),
      cal("x-caff", "Caff", Source{"Other", 1}),
      cal("loc", "local", Source{"", 0}),
  }};
  EXPECT_EQ(listWith(script, kResult),
            toJson(std::vector<CalendarOut>{
                {"local", "Mine", "", "local", std::nullopt},
                {"loc", "local", "", "local", std::nullopt},
                {"h-Z", "Zeta", "Home", "icloud", "#000000"},
                {"h-z", "zeta", "Home", "icloud", std::nullopt},
                // U+00E9 comes after every ASCII letter; equivalent titles keep the store order.
                {"x-cafe", "Cafe", "Other", "birthdays", std::nullopt},
                {"x-caff", "Caff", "Other", "exchange", std::nullopt},
                {"x-pre", precomposed, "Other", "other", std::nullopt},
                {"x-comb", combining, "Other", "other", std::nullopt},
                {"w-a", "a", "Work", "caldav", std::nullopt},
                {"w-a2", "a", "Work", "caldav", std::nullopt},
                {"w-b", "b", "Work", "caldav", "#cc6633"}}) +
                "\n");
  EXPECT_EQ(script->storesOpened, 1);
}

// The sort compares 16-byte prefixes first: keys that agree there, or differ only in length or in
// NUL padding, must still come out in text order.
TEST(StableTextOrder, LongKeysSharingTheirBeginning) {
  using namespace std::string_view_literals;
  const std::vector<std::string_view> ordered = {""sv,
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
                                                 "\xc3\xa9"sv};
  for (const size_t column : {0u, 1u}) {
    std::vector<TextKeys> keys;
    for (size_t i = 0; i < ordered.size(); ++i) {
      const std::string_view key = ordered[(i * 7) % ordered.size()];
      keys.push_back(column == 0 ? TextKeys{key, "same"} : TextKeys{"same", key});
    }
    std::vector<std::string_view> got;
    for (const size_t i : stableTextOrder(keys)) got.push_back(keys[i][column]);
    EXPECT_EQ(got, ordered) << "column " << column;
  }
  // Combining marks beyond the first 16 bytes are normalized before the comparison.
  EXPECT_EQ(stableTextOrder({{"Planning meeting e\xcc\x81", "b"},
                             {"Planning meeting \xc3\xa9", "a"},
                             {"Planning meeting f", "c"}}),
            (std::vector<size_t>{2, 1, 0}));
}

}  // namespace
}  // namespace velkor
