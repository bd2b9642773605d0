// Thunderbird's preferences (prefs.js) and the calendar registry they hold.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/store.h"

namespace velkor {

// A pref's value: a string, an integer or a boolean.
struct PrefValue {
  enum class Type { kString, kInteger, kBoolean };
  PrefValue(std::string t) : type(Type::kString), text(std::move(t)) {}
  PrefValue(std::int64_t n) : type(Type::kInteger), integer(n) {}
  PrefValue(bool b) : type(Type::kBoolean), boolean(b) {}
  bool operator==(const PrefValue&) const = default;

  Type type;
  std::string text;
  std::int64_t integer = 0;
  bool boolean = false;
};
using Prefs = std::map<std::string, PrefValue, std::less<>>;

// The `user_pref("name", value);` lines of a prefs.js text: strings (with JavaScript escapes),
// integers and booleans. A line that is not one of them is skipped; a later line wins.
Prefs parsePrefs(std::string_view text);

// Where a calendar's events are on disk.
enum class Database { kNone, kLocal, kCache };  // calendar-data/local.sqlite, cache.sqlite

struct RegisteredCalendar {
  std::string uuid;
  std::string name;
  std::string type;  // storage, caldav, ics, or an add-on's
  std::string uri;
  std::optional<std::string> color;
  bool disabled = false;
  bool cached = false;  // cache.enabled
  Database database() const;
  // The account kind the listing shows.
  AccountKind kind() const;
};

// Every calendar of `calendar.registry.*`, in the order of calendar.list.sortOrder, then the rest
// by uuid.
std::vector<RegisteredCalendar> registeredCalendars(const Prefs& prefs);

// The lower-cased host of a URI ("scheme://user@host:port/path"); empty when there is none.
std::string uriHost(std::string_view uri);

}  // namespace velkor
