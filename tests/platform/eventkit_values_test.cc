// EventKit's numbers as the host reads them: every documented value, the values on either side,
// and the one whose meaning changed with macOS 14.
#include "platform/eventkit_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <tuple>

#include "calendars/kind.h"
#include "store/access.h"

namespace velkor {
namespace {

TEST(EventKitValues, AuthorizationStatusNamesOnBothSidesOfMacOS14) {
  const std::tuple<long, const char*, const char*> names[] = {{0, "notDetermined", "notDetermined"},
                                                              {1, "restricted", "restricted"},
                                                              {2, "denied", "denied"},
                                                              {3, "fullAccess", "fullAccess"},
                                                              {4, "unknown", "writeOnly"},
                                                              {5, "unknown", "unknown"},
                                                              {-1, "unknown", "unknown"},
                                                              {1L << 40, "unknown", "unknown"}};
  for (const auto& [status, before14, from14] : names) {
    for (const bool macOS14 : {false, true}) {
      int versionReads = 0;
      const AccessState state =
          eventKitAccessState(status, [&] { return ++versionReads, macOS14; });
      EXPECT_EQ(accessName(state), macOS14 ? from14 : before14) << status << " " << macOS14;
      // The version is asked only where it decides.
      EXPECT_EQ(versionReads, status == 4 ? 1 : 0) << status;
    }
  }
}

TEST(EventKitValues, SourceTypeKindNames) {
  const std::pair<long, const char*> kinds[] = {
      {0, "local"},     {1, "exchange"}, {2, "caldav"}, {3, "icloud"},       {4, "subscribed"},
      {5, "birthdays"}, {6, "other"},    {-1, "other"}, {LONG_MIN, "other"}, {LONG_MAX, "other"}};
  for (const auto& [type, name] : kinds)
    EXPECT_EQ(kindName(eventKitAccountKind(type)), name) << type;
}

}  // namespace
}  // namespace velkor
