#include "ical/zones.h"

#include <libical/icaltz-util.h>
#include <sys/stat.h>
#include <unicode/ucal.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <limits>

#include "base/content_lines.h"
#include "ical/ics_text.h"
#include "ical/scan.h"

namespace velkor {
namespace {

// Seconds since 1970 of a wall time read as UTC.
Seconds naiveSeconds(const icaltimetype& t) {
  return dayNumber(t) * kDay + t.hour * 3600 + t.minute * 60 + t.second;
}

// The first change a VTIMEZONE describes: its earliest observance's DTSTART, a wall time on the
// clock before it.
Seconds onsetOf(icalcomponent* vtimezone) {
  Seconds onset = std::numeric_limits<Seconds>::max();
  for (icalcomponent* c = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT);
       c != nullptr; c = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
    icalproperty* start = icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY);
    icalproperty* from = icalcomponent_get_first_property(c, ICAL_TZOFFSETFROM_PROPERTY);
    if (start == nullptr || from == nullptr) continue;
    const icaltimetype t = icalproperty_get_dtstart(start);
    if (icaltime_is_null_time(t)) continue;
    onset = std::min(onset, naiveSeconds(t) - icalproperty_get_tzoffsetfrom(from));
  }
  return onset == std::numeric_limits<Seconds>::max() ? std::numeric_limits<Seconds>::min() : onset;
}

// A libical zone made from a VTIMEZONE component, which it then owns; none when it is unusable.
OwnZone zoneFrom(icalcomponent* vtimezone) {
  if (vtimezone == nullptr) return {};
  const Seconds onset = onsetOf(vtimezone);
  ZonePtr zone(icaltimezone_new());
  if (!zone || !icaltimezone_set_component(zone.get(), vtimezone)) {
    icalcomponent_free(vtimezone);
    return {};
  }
  return OwnZone{std::move(zone), onset};
}

// Zone names as the zone database spells them; anything else (a path, "..") is never looked up.
bool plausibleZoneName(std::string_view name) {
  if (name.empty() || name.size() > 200 || name.front() == '/') return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '+' || c == '/';
    if (!ok) return false;
  }
  return name.find("..") == std::string_view::npos;
}

// The zone database name of a Windows zone name ("Pacific Standard Time"), from ICU's copy of
// the CLDR table; empty when it names none.
std::string fromWindowsName(const std::string& name) {
  std::array<UChar, 128> windows{}, id{};
  std::array<char, 256> out{};
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8(windows.data(), windows.size(), &length, name.data(),
                static_cast<int32_t>(name.size()), &status);
  if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(windows.size())) return {};
  const int32_t n = ucal_getTimeZoneIDForWindowsID(windows.data(), length, nullptr, id.data(),
                                                   id.size(), &status);
  if (U_FAILURE(status) || n <= 0 || n >= static_cast<int32_t>(id.size())) return {};
  u_strToUTF8(out.data(), out.size(), &length, id.data(), n, &status);
  if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(out.size())) return {};
  return std::string(out.data(), static_cast<std::size_t>(length));
}

// The TZID of a VTIMEZONE block as written, blanks included (libical trims them), unescaped as
// the TEXT value it is (Outlook writes `\,`); the block's own line, not one of its observances'.
std::string rawTzid(std::string_view block) {
  int depth = 0;
  ContentLines lines(block);
  while (const std::optional<ContentLine> content = lines.next()) {
    const std::string_view line = content->text;
    const std::string_view name = nameOf(line);
    if (equalsUpper(name, "BEGIN")) ++depth;
    if (equalsUpper(name, "END")) --depth;
    if (depth == 1 && equalsUpper(name, "TZID")) {
      if (const auto value = valueOf(line)) return unescapeText(*value);
    }
  }
  return {};
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

icaltimetype utcTime(Seconds s) {
  icaltimetype t = wallOf(s);
  t.zone = icaltimezone_get_utc_timezone();
  return t;
}

}  // namespace

icaltimetype wallOf(Seconds s) {
  // Days to civil date (Howard Hinnant's algorithm), the inverse of daysFromCivil.
  Seconds days = s / kDay, rest = s % kDay;
  if (rest < 0) {
    rest += kDay;
    --days;
  }
  const Seconds z = days + 719468;
  const Seconds era = (z >= 0 ? z : z - 146096) / 146097;
  const Seconds doe = z - era * 146097;
  const Seconds yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const Seconds doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const Seconds mp = (5 * doy + 2) / 153;
  const Seconds d = doy - (153 * mp + 2) / 5 + 1;
  const Seconds m = mp < 10 ? mp + 3 : mp - 9;
  icaltimetype t = icaltime_null_time();
  t.year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  t.month = static_cast<int>(m);
  t.day = static_cast<int>(d);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

Seconds utcSeconds(const icaltimetype& t) { return naiveSeconds(t); }

const ZoneTable::Defined& ZoneTable::fromBlock(std::string_view block) {
  auto [it, added] = blocks.try_emplace(std::string(block));
  if (added) {
    ComponentPtr c(icalparser_parse_string(it->first.c_str()));
    icalproperty* p = c && icalcomponent_isa(c.get()) == ICAL_VTIMEZONE_COMPONENT
                          ? icalcomponent_get_first_property(c.get(), ICAL_TZID_PROPERTY)
                          : nullptr;
    const char* tzid = p != nullptr ? icalproperty_get_tzid(p) : nullptr;
    if (tzid != nullptr && *tzid != '\0') {
      const std::string raw = rawTzid(it->first);
      it->second.tzid = raw.empty() ? tzid : raw;
      it->second.own = zoneFrom(c.release());
    }
  }
  return it->second;
}

const OwnZone& ZoneTable::fromDefinition(icalcomponent* vtimezone) {
  const BufferPtr text(icalcomponent_as_ical_string_r(vtimezone));
  static const OwnZone kNone;
  if (!text) return kNone;
  auto [it, added] = defined.try_emplace(text.get());
  if (added) it->second = zoneFrom(icalcomponent_new_clone(vtimezone));
  return it->second;
}

icaltimezone* ZoneTable::fromSystem(const std::string& name) {
  auto [it, added] = system.try_emplace(name);
  if (!added) return it->second.get();
  std::string found = name;
  for (int attempt = 0; attempt < 2 && !it->second; ++attempt) {
    if (attempt == 1) found = fromWindowsName(name);
    if (!plausibleZoneName(found)) continue;
    // Only a regular file is handed to libical: a FIFO under the zone directory must not block.
    const char* dir = icaltzutil_get_zone_directory();
    const std::string path = std::string(dir != nullptr ? dir : "") + "/" + found;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      it->second = zoneFrom(icaltzutil_fetch_timezone(found.c_str())).zone;
    }
  }
  return it->second.get();
}

ZoneCache::ZoneCache() : table_(std::make_unique<ZoneTable>()) {}
ZoneCache::~ZoneCache() = default;

void quietLibical() {
  icalerror_set_errors_are_fatal(0);
  tzset();  // floating times read the local clock through localtime_r, which does not
  // First uses of these set up libical's shared tables; done here, before any reading thread.
  icaltimezone_get_utc_timezone();
  icaltzutil_get_zone_directory();
  static constexpr const char* kWarmZone =
      "BEGIN:VTIMEZONE\r\nTZID:warm\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
      "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
  if (OwnZone own = zoneFrom(icalparser_parse_string(kWarmZone)); own.zone) {
    icaltimetype t = utcTime(0);
    int daylight = 0;
    icaltimezone_get_utc_offset_of_utc_time(own.zone.get(), &t, &daylight);
  }
}

std::optional<Seconds> offsetAt(const Frame& frame, Seconds s) {
  if (frame.utc) return 0;
  icaltimezone* zone = frame.before != nullptr && s < frame.onset ? frame.before : frame.zone;
  if (zone == nullptr) {
    const auto ts = static_cast<std::time_t>(s);
    std::tm tm{};
    if (localtime_r(&ts, &tm) == nullptr) return std::nullopt;
    return static_cast<Seconds>(tm.tm_gmtoff);
  }
  icaltimetype t = utcTime(s);
  int daylight = 0;
  return icaltimezone_get_utc_offset_of_utc_time(zone, &t, &daylight);
}

std::optional<Seconds> instantOf(Seconds wall, const Frame& frame) {
  if (frame.utc) return wall;
  // No zone changes its offset by a day or more: the offsets a day either side are the two
  // readings a wall time near a change can have.
  const auto earlier = offsetAt(frame, wall - kDay), later = offsetAt(frame, wall + kDay);
  if (!earlier || !later) return std::nullopt;
  std::optional<Seconds> first;
  for (const Seconds o : {*earlier, *later}) {
    if (offsetAt(frame, wall - o) == o && (!first || wall - o < *first)) first = wall - o;
  }
  if (first) return first;
  // Two changes within the day around it: the offset in force at the earlier reading.
  if (const auto o = offsetAt(frame, wall - *earlier); o && offsetAt(frame, wall - *o) == o) {
    return wall - *o;
  }
  return wall - *earlier;  // skipped: the offset before the change
}

Frame FileZones::byName(const std::string& tzid) {
  for (const auto& [name, frame] : resolved) {
    if (name == tzid) return frame;
  }
  // The file's own definitions by the name as spelt, then with blanks at either end ignored;
  // then the zone database (or Windows names); an unknown name leaves the time floating.
  const Definition* found = nullptr;
  for (int pass = 0; pass < 2 && found == nullptr; ++pass) {
    for (const Definition& d : definitions) {
      if (pass == 0 ? d.tzid == tzid : trimmed(d.tzid) == trimmed(tzid)) {
        found = &d;
        break;
      }
    }
  }
  Frame frame;
  const OwnZone* own = found == nullptr              ? nullptr
                       : found->component != nullptr ? &cache.fromDefinition(found->component)
                                                     : found->own;
  icaltimezone* system = cache.fromSystem(std::string(trimmed(tzid)));
  if (own != nullptr && own->zone) {
    frame = Frame{own->zone.get(), false, system, own->onset};
  } else {
    frame.zone = system;
  }
  resolved.emplace_back(tzid, frame);
  return frame;
}

Frame FileZones::floatingFrame() {
  if (!floating) floating = calendarZone.empty() ? Frame{} : byName(calendarZone);
  return *floating;
}

Frame FileZones::clockOf(icalproperty* prop, const Frame& otherwise) {
  icalparameter* param = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
  const char* tzid = param != nullptr ? icalparameter_get_tzid(param) : nullptr;
  if (tzid == nullptr) return otherwise;
  const Frame frame = byName(tzid);
  return frame.zone != nullptr ? frame : otherwise;
}

Frame FileZones::frameOf(icalproperty* prop, const icaltimetype& t,
                         const std::optional<Frame>& unzoned) {
  if (icaltime_is_utc(t)) return Frame{nullptr, true};
  icalparameter* param = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
  const char* tzid = param != nullptr ? icalparameter_get_tzid(param) : nullptr;
  if (tzid != nullptr) {
    const Frame frame = byName(tzid);
    if (frame.zone != nullptr) return frame;
  }
  return unzoned ? *unzoned : floatingFrame();
}

}  // namespace velkor
