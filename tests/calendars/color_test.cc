#include "calendars/color.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace velkor {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ChannelCase {
  double component;
  int channel;
};

class ChannelTest : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(ChannelTest, MapsAComponentToZeroTo255) {
  EXPECT_EQ(channel(GetParam().component), GetParam().channel) << GetParam().component;
}

INSTANTIATE_TEST_SUITE_P(
    Components, ChannelTest,
    ::testing::Values(ChannelCase{0.0, 0}, ChannelCase{-0.0, 0}, ChannelCase{-0.3, 0},
                      ChannelCase{-kInf, 0}, ChannelCase{std::numeric_limits<double>::min(), 0},
                      ChannelCase{0.1, 26}, ChannelCase{0.2, 51}, ChannelCase{0.4, 102},
                      ChannelCase{0.5, 128}, ChannelCase{0.7, 179}, ChannelCase{0.8, 204},
                      ChannelCase{0.998, 254}, ChannelCase{0.999, 255},
                      ChannelCase{std::nextafter(1.0, 0.0), 255}, ChannelCase{1.0, 255},
                      ChannelCase{1.2, 255}, ChannelCase{kInf, 255}, ChannelCase{kNaN, 255},
                      ChannelCase{-kNaN, 255},
                      // Halves round up: 0.5/255 is half a step above 0.
                      ChannelCase{0.5 / 255.0, 1}, ChannelCase{1.5 / 255.0, 2},
                      ChannelCase{254.5 / 255.0, 255}, ChannelCase{254.49 / 255.0, 254}));

TEST(Hex, FormatsTheFirstThreeComponents) {
  struct Case {
    SrgbComponents components;
    const char* text;
  };
  for (const Case& c :
       {Case{{0.8, 0.4, 0.2, 1.0}, "#cc6633"}, Case{{0.8, 0.4, 0.2, 0.0}, "#cc6633"},
        Case{{0.8, 0.4, 0.2}, "#cc6633"}, Case{{0, 0, 0}, "#000000"}, Case{{1, 1, 1, 0}, "#ffffff"},
        Case{{0.5, 0.1, 0.7}, "#801ab3"}, Case{{kNaN, -kInf, 1.2, 0.5}, "#ff00ff"},
        Case{{0.0, 0.998, -0.0, 1.0, 7.0}, "#00fe00"},
        Case{{2.0 / 255, 10.0 / 255, 171.0 / 255}, "#020aab"}}) {
    const std::optional<std::string> text = hex(c.components);
    ASSERT_TRUE(text.has_value()) << c.text;
    EXPECT_EQ(*text, c.text);
  }
}

TEST(Hex, NoTextWithoutThreeComponents) {
  EXPECT_EQ(hex(std::nullopt), std::nullopt);
  EXPECT_EQ(hex(SrgbComponents{}), std::nullopt);
  EXPECT_EQ(hex(SrgbComponents{0.5}), std::nullopt);
  EXPECT_EQ(hex(SrgbComponents{0.5, 0.5}), std::nullopt);
}

}  // namespace
}  // namespace velkor
