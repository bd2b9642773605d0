// The pure pieces of a listing record: colour channels and text, kind names.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "calendars/color.h"
#include "calendars/kind.h"

namespace velkor {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Channel, MapsAnyComponentTo0To255RoundingHalvesUp) {
  const std::pair<double, int> cases[] = {{0.0, 0},
                                          {-0.0, 0},
                                          {-0.3, 0},
                                          {-kInf, 0},
                                          {0.1, 26},
                                          {0.5, 128},
                                          {0.7, 179},
                                          {0.998, 254},
                                          {0.999, 255},
                                          {std::nextafter(1.0, 0.0), 255},
                                          {1.0, 255},
                                          {1.2, 255},
                                          {kInf, 255},
                                          {kNaN, 255},
                                          {-kNaN, 255},
                                          {0.5 / 255, 1},
                                          {254.49 / 255, 254},
                                          {254.5 / 255, 255}};
  for (const auto& [component, value] : cases) EXPECT_EQ(channel(component), value) << component;
}

TEST(Hex, FormatsTheFirstThreeComponentsOnly) {
  EXPECT_EQ(hex(SrgbComponents{0.8, 0.4, 0.2, 0.0, 7.0}), "#cc6633");
  EXPECT_EQ(hex(SrgbComponents{kNaN, -kInf, 2.0 / 255}), "#ff0002");
  EXPECT_EQ(hex(SrgbComponents{10.0 / 255, 171.0 / 255, 1.2}), "#0aabff");
  EXPECT_EQ(hex(std::nullopt), std::nullopt);
  EXPECT_EQ(hex(SrgbComponents{0.5, 0.5}), std::nullopt);
}

TEST(KindName, NamesEachAccountType) {
  const std::pair<long, const char*> cases[] = {
      {0, "local"},     {1, "exchange"}, {2, "caldav"}, {3, "icloud"},       {4, "subscribed"},
      {5, "birthdays"}, {6, "other"},    {-1, "other"}, {LONG_MIN, "other"}, {LONG_MAX, "other"}};
  for (const auto& [type, name] : cases) EXPECT_EQ(kindName(type), name) << type;
}

}  // namespace
}  // namespace velkor
