// The fixed vocabulary of a listing record: colour channels and text, kind names, and the bounded
// wait for the store's calendars.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "calendars/color.h"
#include "calendars/kind.h"
#include "calendars/list.h"
#include "support/scripted_store.h"

namespace velkor {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Hex, RoundsHalvesUpAndClampsEveryComponent) {
  const std::pair<double, int> channels[] = {{0.0, 0},          {-0.0, 0},
                                             {-0.3, 0},         {-kInf, 0},
                                             {0.1, 26},         {0.5, 128},
                                             {0.7, 179},        {0.998, 254},
                                             {0.999, 255},      {std::nextafter(1.0, 0.0), 255},
                                             {1.0, 255},        {1.2, 255},
                                             {kInf, 255},       {kNaN, 255},
                                             {0.5 / 255, 1},    {254.49 / 255, 254},
                                             {254.5 / 255, 255}};
  for (const auto& [component, value] : channels) EXPECT_EQ(channel(component), value) << component;
  EXPECT_EQ(hex(SrgbComponents{0.8, 0.4, 0.2, 0.0, 7.0}), "#cc6633");
  EXPECT_EQ(hex(SrgbComponents{10.0 / 255, 171.0 / 255, kNaN}), "#0aabff");
  EXPECT_EQ(hex(std::nullopt), std::nullopt);
  EXPECT_EQ(hex(SrgbComponents{0.5, 0.5}), std::nullopt);
}

TEST(EventCalendars, AsksAtMostNineTimesWithARefreshAndAQuarterSecondBetween) {
  const std::vector<Calendar> one = {Calendar{"a", "A", std::nullopt, std::nullopt}};
  // A store that may still be loading is asked again while empty; one that lists everything at
  // once is asked once, its empty list final.
  const std::tuple<bool, std::vector<std::vector<Calendar>>, size_t, int> cases[] = {
      {true, {one}, 1, 1},
      {true, {{}, {}, {}, one}, 1, 4},
      {true, {{}, {}, {}, {}, {}, {}, {}, {}, one}, 1, 9},
      {true, {{}, {}, {}, {}, {}, {}, {}, {}, {}, one}, 0, 9},
      {false, {one}, 1, 1},
      {false, {{}, one}, 0, 1}};
  for (const auto& [mayStillLoad, answers, found, asks] : cases) {
    auto script = std::make_shared<testing::Script>();
    script->mayStillLoad = mayStillLoad;
    script->calendarAnswers = answers;
    const Platform platform = testing::scriptedPlatform(script);
    EXPECT_EQ(eventCalendars(*platform.openStore(), platform).size(), found) << asks;
    EXPECT_EQ(script->calendarAsks, asks);
    EXPECT_EQ(script->refreshes, asks - 1);
    EXPECT_EQ(script->sleeps, std::vector(size_t(asks - 1), std::chrono::milliseconds(250)));
  }
}

}  // namespace
}  // namespace velkor
