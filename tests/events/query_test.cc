// The `events` command over a scripted store: what only another store can answer (any number of
// events sharing texts, stamps past the year 9999), written as the file store's answers are.
#include "events/query.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "output/json.h"
#include "support/scoped_env.h"
#include "support/scripted_store.h"

namespace velkor {
namespace {

std::string eventsLine(const EventList& found, const char* from, const char* to) {
  auto script = std::make_shared<testing::Script>();
  script->calendarAnswers = {{{"a", "A", {}, {}}, {"b", "B", {}, {}}, {"c", "C", {}, {}}}};
  script->eventAnswer = found;
  std::ostringstream out, err;
  EXPECT_EQ(runEvents({"events", from, to, "c,b"}, testing::scriptedPlatform(script), {out, err}),
            kResult);
  EXPECT_EQ(err.str(), "");
  return out.str();
}

Instant utc(long long seconds) { return Instant(std::chrono::seconds(seconds)); }

// 1,400 events, latest first in the store, three titles among them (one missing) and one place:
// sorted by start, the calendar an index into the asked calendars in listing order (b, c), the
// line longer than the writer's chunks.
TEST(EventsQuery, WritesAnAnswerOfManyEventsSharingTextsInOneLine) {
  const testing::ScopedEnv zone("TZ", "UTC");
  const long long day = 1772409600;  // 2026-03-02T00:00Z
  EventList found;
  std::vector<std::string> records(1400);
  for (int i = 1399; i >= 0; --i) {
    const char* title = i % 3 == 0 ? "x/y" : i % 3 == 1 ? "" : "Z";
    found.add(i % 2, i % 3 == 1 ? std::nullopt : std::optional<std::string_view>(title),
              utc(day + 60 * i), utc(day + 60 * i + 30), i % 5 == 0,
              i % 4 == 0 ? std::optional<std::string_view>("Room \"1\"") : std::nullopt);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "2026-03-02T%02d:%02d", i / 60, i % 60);
    records[i] = std::string("{\"allDay\":") + (i % 5 == 0 ? "true" : "false") +
                 ",\"calendar\":\"" + (i % 2 == 0 ? "b" : "c") + "\",\"end\":\"" + stamp + "\"" +
                 (i % 4 == 0 ? ",\"location\":\"Room \\\"1\\\"\"" : "") + ",\"start\":\"" + stamp +
                 "\",\"title\":\"" +
                 (i % 3 == 0   ? "x\\/y"
                  : i % 3 == 1 ? ""
                               : "Z") +
                 "\"}";
  }
  EXPECT_EQ(found.textCount(), 4u);  // the three titles and the place, each kept once
  std::string want = "[";
  for (const std::string& r : records) want += (want.size() > 1 ? "," : "") + r;
  const std::string line = eventsLine(found, "2026-03-02", "2026-03-03");
  ASSERT_GT(line.size(), 2 * EventArrayWriter::kChunk);
  EXPECT_EQ(line, want + "]\n");
}

// Where the local year passes 9999 the stamp grows a digit; the order stays that of time.
TEST(EventsQuery, KeepsTimeOrderPastTheYear9999) {
  const testing::ScopedEnv zone("TZ", "Pacific/Kiritimati");  // UTC+14
  EventList found;
  found.add(0, "a new year", utc(253402297200), utc(253402297200), false, std::nullopt);
  found.add(1, "b last evening", utc(253402246800), utc(253402246800), false, std::nullopt);
  EXPECT_EQ(eventsLine(found, "9999-12-31", "10000-01-02"),
            "[{\"allDay\":false,\"calendar\":\"c\",\"end\":\"9999-12-31T23:00\",\"start\":"
            "\"9999-12-31T23:00\",\"title\":\"b last evening\"},{\"allDay\":false,\"calendar\":"
            "\"b\",\"end\":\"10000-01-01T13:00\",\"start\":\"10000-01-01T13:00\",\"title\":\"a "
            "new year\"}]\n");
}

}  // namespace
}  // namespace velkor
