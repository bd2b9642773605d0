// prefs.js as Thunderbird writes it, and what it says about calendars.
#include <gtest/gtest.h>

#include "thunderbird/prefs.h"

namespace velkor {
namespace {

TEST(Prefs, LinesTable) {
  struct Case {
    const char* line;
    const char* name;  // null: the line is skipped
    PrefValue value;
  };
  const std::vector<Case> cases = {
      {R"(user_pref("a.b", "plain");)", "a.b", std::string("plain")},
      {R"(user_pref("a.b", "q\"uote \\ back\nline\ttab");)", "a.b",
       std::string("q\"uote \\ back\nline\ttab")},
      {R"(user_pref("a.b", "caf\u00e9 \xe9 \ud83d\ude00 \ud800 x");)", "a.b",
       std::string("caf\xc3\xa9 \xc3\xa9 \xf0\x9f\x98\x80 \xef\xbf\xbd x")},
      {R"(  user_pref( "n" ,  -42 ) ;  // trailing comment)", "n", std::int64_t{-42}},
      {R"(user_pref("n", 1796666697);)", "n", std::int64_t{1796666697}},
      {R"(user_pref("t", true);)", "t", true},
      {R"(user_pref("f", false);)", "f", false},
      {R"(user_pref('single', 'quotes');)", "single", std::string("quotes")},
      {"user_pref(\"crlf\", true);\r", "crlf", true},
      {R"(user_pref("unterminated, "x");)", nullptr, false},
      {R"(user_pref("no semicolon", true))", nullptr, false},
      {R"(user_pref("bad escape", "\u12");)", nullptr, false},
      {R"(user_pref("number", 12abc);)", nullptr, false},
      {R"(user_pref("huge", 123456789012345678901234567890);)", nullptr, false},
      {R"(pref("not.user", true);)", nullptr, false},
      {R"(user_pref("x", true); user_pref("y", false);)", nullptr, false},
      {"\xff\xfe garbage", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const Prefs p = parsePrefs(c.line);
    if (c.name == nullptr) {
      EXPECT_TRUE(p.empty());
      continue;
    }
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p.begin()->first, c.name);
    EXPECT_EQ(p.begin()->second, c.value);
  }
}

TEST(Prefs, RegistryOrderKindsAndData) {
  const Prefs p = parsePrefs(R"(// Mozilla User Preferences
user_pref("calendar.list.sortOrder", "c3 gone a1");
user_pref("calendar.registry.a1.name", "Local");
user_pref("calendar.registry.a1.type", "storage");
user_pref("calendar.registry.a1.color", "#3a87ad");
this line is garbled and skipped
user_pref("calendar.registry.b2.name", "iCloud");
user_pref("calendar.registry.b2.type", "caldav");
user_pref("calendar.registry.b2.uri", "https://user@P12-CalDAV.iCloud.com:443/1/calendars/x/");
user_pref("calendar.registry.b2.cache.enabled", true);
user_pref("calendar.registry.c3.name", "Nextcloud");
user_pref("calendar.registry.c3.type", "caldav");
user_pref("calendar.registry.c3.uri", "https://cloud.example.com/remote.php/dav/icloud.com/");
user_pref("calendar.registry.c3.cache.enabled", false);
user_pref("calendar.registry.d4.name", "Holidays");
user_pref("calendar.registry.d4.type", "ics");
user_pref("calendar.registry.d4.cache.enabled", true);
user_pref("calendar.registry.d4.disabled", true);
user_pref("calendar.registry.e5.type", "gdata");
user_pref("calendar.registry.e5.cache.enabled", true);
user_pref("calendar.registry.f6.type", "storage");
user_pref("calendar.registry.f6.disabled", false);
user_pref("calendar.registry.f6.cache.enabled", "true");
user_pref("calendar.registry..type", "storage");
)");
  struct Want {
    const char* uuid;
    const char* name;
    AccountKind kind;
    Database db;
    bool disabled;
  };
  const std::vector<Want> want = {
      {"c3", "Nextcloud", AccountKind::kCalDav, Database::kNone, false},  // listed first, uncached
      {"a1", "Local", AccountKind::kLocal, Database::kLocal, false},
      {"b2", "iCloud", AccountKind::kICloud, Database::kCache, false},  // the rest by uuid
      {"d4", "Holidays", AccountKind::kSubscribed, Database::kCache, true},
      {"e5", "", AccountKind::kOther, Database::kCache, false},
      {"f6", "", AccountKind::kLocal, Database::kLocal, false},
  };
  const std::vector<RegisteredCalendar> got = registeredCalendars(p);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].uuid);
    EXPECT_EQ(got[i].uuid, want[i].uuid);
    EXPECT_EQ(got[i].name, want[i].name);
    EXPECT_EQ(got[i].kind(), want[i].kind);
    EXPECT_EQ(got[i].database(), want[i].db);
    EXPECT_EQ(got[i].disabled, want[i].disabled);
  }
  EXPECT_EQ(got[1].color, "#3a87ad");
  EXPECT_FALSE(got[0].color);
}

TEST(Prefs, UriHosts) {
  EXPECT_EQ(uriHost("https://caldav.iCloud.com/x"), "caldav.icloud.com");
  EXPECT_EQ(uriHost("http://u:p@127.0.0.1:53787/velkor/"), "127.0.0.1");
  EXPECT_EQ(uriHost("https://[::1]:8443/dav"), "[::1]");
  EXPECT_EQ(uriHost("https://host?x=@evil.icloud.com"), "host");
  EXPECT_EQ(uriHost("moz-storage-calendar://"), "");
  EXPECT_EQ(uriHost("no scheme"), "");
}

}  // namespace
}  // namespace velkor
