#include "calendars/kind.h"

#include <gtest/gtest.h>

#include <climits>

namespace velkor {
namespace {

TEST(KindName, NamesEachAccountType) {
  struct Case {
    long type;
    const char* name;
  };
  for (const Case& c : {Case{0, "local"}, Case{1, "exchange"}, Case{2, "caldav"}, Case{3, "icloud"},
                        Case{4, "subscribed"}, Case{5, "birthdays"}, Case{6, "other"},
                        Case{-1, "other"}, Case{LONG_MAX, "other"}, Case{LONG_MIN, "other"}}) {
    EXPECT_EQ(kindName(c.type), c.name) << c.type;
  }
}

}  // namespace
}  // namespace velkor
