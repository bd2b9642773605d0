#include "thunderbird/clock.h"

#include <sys/stat.h>

#include <cstdio>

namespace velkor {
namespace {

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string crlfLines(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 64);
  for (const char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      out += "\r\n";
    } else if (c != '\0') {
      out.push_back(c);
    }
  }
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  return out;
}

// A TZID parameter value, quoted when it holds a character that ends a parameter.
std::string parameterValue(std::string_view v) {
  std::string out;
  for (const char c : v) {
    if (c != '"' && c != '\r' && c != '\n') out.push_back(c);
  }
  return out.find_first_of(";:,") == std::string::npos ? out : "\"" + out + "\"";
}

// A libical zone made from a VTIMEZONE component, which it then owns; none when unusable.
ZonePtr zoneFrom(icalcomponent* vtimezone) {
  if (vtimezone == nullptr) return nullptr;
  ZonePtr zone(icaltimezone_new());
  if (!zone || !icaltimezone_set_component(zone.get(), vtimezone)) {
    icalcomponent_free(vtimezone);
    return nullptr;
  }
  return zone;
}

// An Olson name: letters, digits and "_+-/", no "..", not absolute.
bool plausibleName(std::string_view name) {
  if (name.empty() || name.size() > 64 || name.front() == '/') return false;
  if (name.find("..") != std::string_view::npos) return false;
  for (const char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '+' || c == '-' || c == '/';
    if (!ok) return false;
  }
  return true;
}

Seconds floorSeconds(std::int64_t micros) {
  return micros >= 0 ? micros / 1000000 : -((-micros + 999999) / 1000000);
}

}  // namespace

const StoredClock::Zone* StoredClock::zoneOf(std::string_view zone) {
  auto it = zones_.find(zone);
  if (it != zones_.end()) return it->second.zone ? &it->second : nullptr;
  Zone made;
  if (startsWith(zone, "BEGIN:VTIMEZONE")) {
    made.definition = crlfLines(zone);
    icalcomponent* c = icalparser_parse_string(made.definition.c_str());
    if (c != nullptr && icalcomponent_isa(c) == ICAL_VTIMEZONE_COMPONENT) {
      icalproperty* p = icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY);
      const char* tzid = p != nullptr ? icalproperty_get_tzid(p) : nullptr;
      if (tzid != nullptr && tzid[0] != '\0') {
        made.tzid = tzid;
        made.zone = zoneFrom(c);
        c = nullptr;
      }
    }
    if (c != nullptr) icalcomponent_free(c);
  } else if (zone != "UTC" && plausibleName(zone)) {
    made.tzid = std::string(zone);
    // Only a regular file is handed to libical: a FIFO under the zone directory must not block.
    const char* dir = icaltzutil_get_zone_directory();
    const std::string path = std::string(dir != nullptr ? dir : "") + "/" + made.tzid;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      made.zone = zoneFrom(icaltzutil_fetch_timezone(made.tzid.c_str()));
    }
  }
  it = zones_.emplace(std::string(zone), std::move(made)).first;
  return it->second.zone ? &it->second : nullptr;
}

std::optional<TimeText> StoredClock::text(std::int64_t micros, std::string_view zone, bool date) {
  const Seconds seconds = floorSeconds(micros);
  const bool floating = zone.empty() || zone == "floating";
  const Zone* z = floating ? nullptr : zoneOf(zone);
  icaltimetype t = z != nullptr ? icaltime_from_timet_with_zone(seconds, 0, z->zone.get())
                                : icaltime_from_timet_with_zone(seconds, 0, nullptr);
  if (t.year < 1 || t.year > 9999) return std::nullopt;
  TimeText out;
  char value[32];
  if (date) {
    std::snprintf(value, sizeof value, "%04d%02d%02d", t.year, t.month, t.day);
    out.parameters = ";VALUE=DATE";
    out.value = value;
    return out;
  }
  std::snprintf(value, sizeof value, "%04d%02d%02dT%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  out.value = value;
  if (z != nullptr) {
    out.parameters = ";TZID=" + parameterValue(z->tzid);
    out.zoneDefinition = z->definition;
  } else if (!floating) {
    out.value += 'Z';  // "UTC", and a zone that cannot be made
  }
  return out;
}

}  // namespace velkor
