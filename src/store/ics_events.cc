#include "store/ics_events.h"

#include <libical/ical.h>
#include <libical/icaltz-util.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "store/ics_blocks.h"
#include "store/ics_scan.h"

namespace velkor {
namespace {

using Seconds = std::int64_t;
constexpr Seconds kDay = 86400;

// A rule yields at most this many occurrences per query, counted from where its expansion starts:
// more than an every-minute rule gives in two months, and FREQ=SECONDLY without an end still
// finishes in a fraction of a second.
constexpr int kMaxPerRule = 100000;

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;
struct ZoneFree {
  void operator()(icaltimezone* z) const { icaltimezone_free(z, 1); }
};
using ZonePtr = std::unique_ptr<icaltimezone, ZoneFree>;
struct IteratorFree {
  void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
};
using IteratorPtr = std::unique_ptr<icalrecur_iterator, IteratorFree>;
struct BufferFree {
  void operator()(char* p) const { icalmemory_free_buffer(p); }
};

// A libical zone made from a VTIMEZONE component, which it then owns; none when it is unusable.
ZonePtr zoneFrom(icalcomponent* vtimezone) {
  if (vtimezone == nullptr) return nullptr;
  ZonePtr zone(icaltimezone_new());
  if (!zone || !icaltimezone_set_component(zone.get(), vtimezone)) {
    icalcomponent_free(vtimezone);
    return nullptr;
  }
  return zone;
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

}  // namespace

struct ZoneCache::Impl {
  struct Defined {
    std::string tzid;  // empty when the block is not one VTIMEZONE with a TZID
    ZonePtr zone;
  };
  std::unordered_map<std::string, Defined> blocks;   // by the VTIMEZONE block's bytes
  std::unordered_map<std::string, ZonePtr> defined;  // by the parsed VTIMEZONE's text
  std::unordered_map<std::string, ZonePtr> system;   // by zone name

  const Defined& fromBlock(std::string_view block) {
    auto [it, added] = blocks.try_emplace(std::string(block));
    if (added) {
      ComponentPtr c(icalparser_parse_string(it->first.c_str()));
      icalproperty* p = c && icalcomponent_isa(c.get()) == ICAL_VTIMEZONE_COMPONENT
                            ? icalcomponent_get_first_property(c.get(), ICAL_TZID_PROPERTY)
                            : nullptr;
      const char* tzid = p != nullptr ? icalproperty_get_tzid(p) : nullptr;
      if (tzid != nullptr && *tzid != '\0') {
        it->second.tzid = tzid;
        it->second.zone = zoneFrom(c.release());
      }
    }
    return it->second;
  }

  icaltimezone* fromDefinition(icalcomponent* vtimezone) {
    const std::unique_ptr<char, BufferFree> text(icalcomponent_as_ical_string_r(vtimezone));
    if (!text) return nullptr;
    auto [it, added] = defined.try_emplace(text.get());
    if (added) it->second = zoneFrom(icalcomponent_new_clone(vtimezone));
    return it->second.get();
  }

  icaltimezone* fromSystem(const std::string& name) {
    auto [it, added] = system.try_emplace(name);
    if (added && plausibleZoneName(name)) {
      // Only a regular file is handed to libical: a FIFO under the zone directory must not block.
      const char* dir = icaltzutil_get_zone_directory();
      const std::string path = std::string(dir != nullptr ? dir : "") + "/" + name;
      struct stat st {};
      if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        it->second = zoneFrom(icaltzutil_fetch_timezone(name.c_str()));
      }
    }
    return it->second.get();
  }
};

ZoneCache::ZoneCache() : impl_(std::make_unique<Impl>()) {}
ZoneCache::~ZoneCache() = default;

void quietLibical() {
  icalerror_set_errors_are_fatal(0);
  // First uses of these set up libical's shared tables; done here, before any reading thread.
  icaltimezone_get_utc_timezone();
  icaltzutil_get_zone_directory();
  static constexpr const char* kWarmZone =
      "BEGIN:VTIMEZONE\r\nTZID:warm\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
      "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
  if (ZonePtr zone = zoneFrom(icalparser_parse_string(kWarmZone))) {
    icaltimetype t = icaltime_from_string("20260101T000000");
    icaltimezone_convert_time(&t, zone.get(), icaltimezone_get_utc_timezone());
  }
}

namespace {

// How a DATE-TIME reads: in UTC, through a zone, or (neither) as local wall time.
struct Frame {
  icaltimezone* zone = nullptr;
  bool utc = false;
};

Seconds utcSeconds(const icaltimetype& t) {
  return daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) *
             kDay +
         t.hour * 3600 + t.minute * 60 + t.second;
}

// Local wall time in the process's zone. Times in a gap or an overlap of the local clock get what
// mktime with tm_isdst = -1 chooses (glibc: the offset in force before the change for a gap, so
// 02:30 of a spring-forward night is 03:30; the second of the two readings for an overlap).
std::optional<Seconds> localSeconds(const icaltimetype& t, bool midnight) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  if (!midnight) {
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
  }
  tm.tm_isdst = -1;
  const std::time_t s = std::mktime(&tm);
  if (s == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<Seconds>(s);
}

std::optional<Seconds> secondsOf(icaltimetype wall, const Frame& frame, bool date) {
  if (date || wall.is_date) return localSeconds(wall, true);
  if (frame.utc) return utcSeconds(wall);
  if (frame.zone != nullptr) {
    wall.zone = nullptr;
    icaltimezone_convert_time(&wall, frame.zone, icaltimezone_get_utc_timezone());
    return utcSeconds(wall);
  }
  return localSeconds(wall, false);
}

// The wall time of instant `s` in `frame`, as a recurrence iterator started there expects it.
icaltimetype wallAt(Seconds s, const Frame& frame, bool date) {
  icaltimezone* utc = icaltimezone_get_utc_timezone();
  icaltimetype t;
  if (date || (!frame.utc && frame.zone == nullptr)) {
    const std::time_t ts = static_cast<std::time_t>(s);
    std::tm tm{};
    localtime_r(&ts, &tm);
    t = icaltime_null_time();
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    if (date) {
      t.is_date = 1;
    } else {
      t.hour = tm.tm_hour;
      t.minute = tm.tm_min;
      t.second = tm.tm_sec;
    }
    return t;
  }
  t = icaltime_from_timet_with_zone(static_cast<std::time_t>(s), 0, utc);
  if (frame.zone != nullptr) {
    t.zone = nullptr;
    icaltimezone_convert_time(&t, utc, frame.zone);
    t.zone = frame.zone;
  }
  return t;
}

// How long each occurrence of an event lasts.
struct Length {
  int days = 1;  // all-day events: whole days, at least one
  enum Kind { kZero, kExact, kNominal } kind = kZero;
  Seconds exact = 0;           // from DTEND: the instants' difference
  int nominalDays = 0;         // from DURATION: days on the wall clock ...
  Seconds nominalSeconds = 0;  // ... then exact seconds
};

Seconds longest(const Length& len, bool allDay) {
  if (allDay) return static_cast<Seconds>(len.days) * kDay;
  if (len.kind == Length::kExact) return len.exact;
  if (len.kind == Length::kNominal)
    return std::abs(static_cast<Seconds>(len.nominalDays)) * kDay + std::abs(len.nominalSeconds);
  return 0;
}

struct Span {
  Seconds start = 0;
  Seconds end = 0;
};

std::optional<Span> spanAt(icaltimetype wall, const Frame& frame, bool allDay, const Length& len) {
  wall.zone = nullptr;
  if (allDay) {
    wall.is_date = 1;
    const auto start = localSeconds(wall, true);
    icaltime_adjust(&wall, len.days, 0, 0, 0);
    const auto end = localSeconds(wall, true);
    if (!start || !end) return std::nullopt;
    return Span{*start, std::max(*start, *end)};
  }
  const auto start = secondsOf(wall, frame, false);
  if (!start) return std::nullopt;
  Seconds end = *start;
  if (len.kind == Length::kExact) {
    end = *start + len.exact;
  } else if (len.kind == Length::kNominal) {
    icaltime_adjust(&wall, len.nominalDays, 0, 0, 0);
    const auto moved = secondsOf(wall, frame, false);
    if (!moved) return std::nullopt;
    end = *moved + len.nominalSeconds;
  }
  return Span{*start, std::max(*start, end)};
}

// A VTIMEZONE of the file: made already (from a block cut out before parsing), or to be made from
// the component libical parsed.
struct Definition {
  std::string_view tzid;
  icaltimezone* zone = nullptr;
  icalcomponent* component = nullptr;
};

// What one file knows about zones: its own VTIMEZONE components, and the names already resolved.
struct FileZones {
  ZoneCache::Impl& cache;
  std::vector<Definition> definitions;
  std::vector<std::pair<std::string, Frame>> resolved;

  Frame frameOf(icalproperty* prop, const icaltimetype& t) {
    if (icaltime_is_utc(t)) return Frame{nullptr, true};
    icalparameter* param = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
    const char* tzid = param != nullptr ? icalparameter_get_tzid(param) : nullptr;
    if (tzid == nullptr) return Frame{};
    for (const auto& [name, frame] : resolved) {
      if (name == tzid) return frame;
    }
    icaltimezone* zone = nullptr;
    for (const Definition& d : definitions) {
      if (d.tzid == tzid) {
        zone = d.component != nullptr ? cache.fromDefinition(d.component) : d.zone;
        break;
      }
    }
    // Without a usable definition in the file the name is looked up in the zone database; an
    // unknown name leaves the time floating.
    if (zone == nullptr) zone = cache.fromSystem(tzid);
    resolved.emplace_back(tzid, Frame{zone, false});
    return resolved.back().second;
  }
};

struct Timing {
  icaltimetype wall{};  // DTSTART as written, without zone
  Frame frame;
  bool allDay = false;
  Length length;
  Seconds start = 0;
};

bool usable(const icaltimetype& t) {
  return !icaltime_is_null_time(t) && icaltime_is_valid_time(t);
}

std::optional<Timing> timingOf(icalcomponent* event, FileZones& zones) {
  icalproperty* startProp = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
  if (startProp == nullptr) return std::nullopt;
  const icaltimetype start = icalproperty_get_dtstart(startProp);
  if (!usable(start)) return std::nullopt;
  Timing t;
  t.allDay = start.is_date != 0;
  if (!t.allDay) t.frame = zones.frameOf(startProp, start);
  t.wall = start;
  t.wall.zone = nullptr;
  const auto startSeconds = secondsOf(t.wall, t.frame, t.allDay);
  if (!startSeconds) return std::nullopt;
  t.start = *startSeconds;

  icalproperty* endProp = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY);
  const icaltimetype end =
      endProp != nullptr ? icalproperty_get_dtend(endProp) : icaltime_null_time();
  icalproperty* durationProp = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY);
  if (usable(end)) {
    if (t.allDay) {
      t.length.days = static_cast<int>(
          std::max<Seconds>(1, daysFromCivil(end.year, end.month, end.day) -
                                   daysFromCivil(start.year, start.month, start.day)));
    } else {
      const Frame endFrame = end.is_date ? Frame{} : zones.frameOf(endProp, end);
      if (const auto endSeconds = secondsOf(end, endFrame, end.is_date != 0)) {
        t.length.kind = Length::kExact;
        t.length.exact = std::max<Seconds>(0, *endSeconds - t.start);
      }
    }
  } else if (durationProp != nullptr) {
    const icaldurationtype d = icalproperty_get_duration(durationProp);
    // Beyond ten thousand years a length means nothing more, and stays clear of overflows.
    constexpr Seconds kMaxDays = 3650000;
    const Seconds sign = d.is_neg ? -1 : 1;
    const Seconds days = std::min<Seconds>(kMaxDays, Seconds{d.weeks} * 7 + Seconds{d.days});
    const Seconds seconds = std::min<Seconds>(
        kMaxDays * kDay, Seconds{d.hours} * 3600 + Seconds{d.minutes} * 60 + Seconds{d.seconds});
    if (t.allDay) {
      // Whole days; a part day counts as one more.
      t.length.days =
          static_cast<int>(std::max<Seconds>(1, sign * (days + (seconds + kDay - 1) / kDay)));
    } else {
      t.length.kind = Length::kNominal;
      t.length.nominalDays = static_cast<int>(sign * days);
      t.length.nominalSeconds = sign * seconds;
    }
  }
  return t;
}

// Occurrences taken out of a recurrence set, by instant, or by date when given as a DATE (or when
// the event is all-day).
struct Exclusions {
  std::unordered_set<Seconds> instants;
  std::unordered_set<Seconds> days;

  void add(icalproperty* prop, const icaltimetype& t, bool allDay, FileZones& zones) {
    if (!usable(t)) return;
    if (t.is_date || allDay) {
      days.insert(daysFromCivil(t.year, t.month, t.day));
    } else if (const auto s = secondsOf(t, zones.frameOf(prop, t), false)) {
      instants.insert(*s);
    }
  }
  bool contains(const icaltimetype& wall, Seconds start) const {
    if (!days.empty() && days.count(daysFromCivil(wall.year, wall.month, wall.day)) != 0)
      return true;
    return instants.count(start) != 0;
  }
};

struct Occurrence {
  Span span;
  bool allDay = false;
  icalcomponent* source = nullptr;  // the VEVENT whose title and location it carries
};

struct Unit {
  icalcomponent* master = nullptr;
  std::vector<icalcomponent*> overrides;
};

class FileSearch {
 public:
  FileSearch(const IcsQuery& query, FileZones& zones)
      : query_(query),
        zones_(zones),
        windowStart_(
            std::chrono::duration_cast<std::chrono::seconds>(query.start.time_since_epoch())
                .count()),
        windowEnd_(std::chrono::duration_cast<std::chrono::seconds>(query.end.time_since_epoch())
                       .count()) {}

  std::vector<Occurrence> occurrences(const Unit& unit) {
    std::vector<Occurrence> found;
    std::vector<std::pair<icalcomponent*, Timing>> overrides;
    for (icalcomponent* o : unit.overrides) {
      if (auto t = timingOf(o, zones_)) overrides.emplace_back(o, *t);
    }
    if (unit.master != nullptr) {
      if (const auto timing = timingOf(unit.master, zones_)) {
        expand(unit.master, *timing, overrides, found);
      }
    }
    for (const auto& [component, timing] : overrides) {
      if (const auto span = spanAt(timing.wall, timing.frame, timing.allDay, timing.length)) {
        if (inWindow(*span)) found.push_back(Occurrence{*span, timing.allDay, component});
      }
    }
    std::stable_sort(found.begin(), found.end(), [](const Occurrence& a, const Occurrence& b) {
      return a.span.start < b.span.start;
    });
    return found;
  }

 private:
  bool inWindow(const Span& s) const {
    if (s.start == s.end) return s.start >= windowStart_ && s.start < windowEnd_;
    return s.start < windowEnd_ && s.end > windowStart_;
  }

  void expand(icalcomponent* master, const Timing& timing,
              const std::vector<std::pair<icalcomponent*, Timing>>& overrides,
              std::vector<Occurrence>& found) {
    Exclusions excluded;
    for (icalproperty* p = icalcomponent_get_first_property(master, ICAL_EXDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(master, ICAL_EXDATE_PROPERTY)) {
      excluded.add(p, icalproperty_get_exdate(p), timing.allDay, zones_);
    }
    for (const auto& [component, unused] : overrides) {
      icalproperty* p = icalcomponent_get_first_property(component, ICAL_RECURRENCEID_PROPERTY);
      excluded.add(p, icalproperty_get_recurrenceid(p), timing.allDay, zones_);
    }

    const std::size_t first = found.size();
    auto consider = [&](const icaltimetype& wall, const Span& span) {
      if (!excluded.contains(wall, span.start) && inWindow(span)) {
        found.push_back(Occurrence{span, timing.allDay, master});
      }
    };
    if (const auto span = spanAt(timing.wall, timing.frame, timing.allDay, timing.length)) {
      consider(timing.wall, *span);
    }
    for (icalproperty* p = icalcomponent_get_first_property(master, ICAL_RRULE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(master, ICAL_RRULE_PROPERTY)) {
      expandRule(icalproperty_get_rrule(p), timing, consider);
    }
    for (icalproperty* p = icalcomponent_get_first_property(master, ICAL_RDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(master, ICAL_RDATE_PROPERTY)) {
      const icaldatetimeperiodtype rdate = icalproperty_get_rdate(p);
      if (usable(rdate.period.start)) {
        // A period gives its instance its own length.
        const icaltimetype s = rdate.period.start;
        const auto start = secondsOf(s, zones_.frameOf(p, s), false);
        if (!start) continue;
        Seconds end = *start;
        if (usable(rdate.period.end)) {
          const auto e = secondsOf(rdate.period.end, zones_.frameOf(p, rdate.period.end), false);
          if (!e) continue;
          end = *e;
        } else {
          end = *start + icaldurationtype_as_int(rdate.period.duration);
        }
        consider(s, Span{*start, std::max(*start, end)});
        continue;
      }
      icaltimetype t = rdate.time;
      if (!usable(t)) continue;
      Frame frame;
      if (timing.allDay) {
        t.is_date = 1;
      } else if (t.is_date) {
        // A date in a timed event's set: its midnight on the event's clock.
        t.is_date = 0;
        frame = timing.frame;
      } else {
        frame = zones_.frameOf(p, t);
      }
      if (const auto span = spanAt(t, frame, timing.allDay, timing.length)) consider(t, *span);
    }
    // The same instant reached twice (DTSTART, a rule, an RDATE) is one occurrence.
    std::stable_sort(
        found.begin() + static_cast<std::ptrdiff_t>(first), found.end(),
        [](const Occurrence& a, const Occurrence& b) { return a.span.start < b.span.start; });
    found.erase(std::unique(found.begin() + static_cast<std::ptrdiff_t>(first), found.end(),
                            [](const Occurrence& a, const Occurrence& b) {
                              return a.span.start == b.span.start;
                            }),
                found.end());
  }

  // Moves a fresh iterator to `at` (a wall time in the zone of `dtstart`); false when it could not.
  // libical's own jump keeps the phase of daily and longer rules only: a rule of hours, minutes or
  // seconds restarts instead from its own first occurrence at or before `at`, which is exact when
  // it has no BY parts, and otherwise is not moved at all.
  static bool startNear(IteratorPtr& it, const icalrecurrencetype& rule,
                        const icaltimetype& dtstart, icaltimetype at) {
    at.zone = dtstart.zone;
    Seconds unit = 0;
    if (rule.freq == ICAL_SECONDLY_RECURRENCE) unit = 1;
    if (rule.freq == ICAL_MINUTELY_RECURRENCE) unit = 60;
    if (rule.freq == ICAL_HOURLY_RECURRENCE) unit = 3600;
    if (unit == 0) return icalrecur_iterator_set_start(it.get(), at) != 0;
    if (dtstart.is_date || hasByParts(rule)) return false;
    const Seconds step = unit * std::max<Seconds>(1, rule.interval);
    const Seconds ahead = (utcSeconds(at) - utcSeconds(dtstart)) / step * step;
    icaltimetype moved = dtstart;
    icaltime_adjust(&moved, static_cast<int>(ahead / kDay), 0, 0, static_cast<int>(ahead % kDay));
    it.reset(icalrecur_iterator_new(rule, moved));
    return it != nullptr;
  }

  static bool hasByParts(const icalrecurrencetype& r) {
    for (const short* part : {r.by_second, r.by_minute, r.by_hour, r.by_day, r.by_month_day,
                              r.by_year_day, r.by_week_no, r.by_month, r.by_set_pos}) {
      if (part[0] != ICAL_RECURRENCE_ARRAY_MAX) return true;
    }
    return false;
  }

  template <typename Consider>
  void expandRule(const icalrecurrencetype& rule, const Timing& timing, Consider& consider) {
    if (rule.freq == ICAL_NO_RECURRENCE) return;
    icaltimetype dtstart = timing.wall;
    if (!timing.allDay) {
      dtstart.zone = timing.frame.utc ? icaltimezone_get_utc_timezone() : timing.frame.zone;
    }
    IteratorPtr it(icalrecur_iterator_new(rule, dtstart));
    if (!it) return;
    if (query_.expandNearWindow && rule.count == 0) {
      // Occurrences starting before this cannot reach the window: the wall time of `from` is exact
      // in the event's zone, and a day more covers the clock going back across it.
      const Seconds from = windowStart_ - longest(timing.length, timing.allDay) - kDay;
      if (from > timing.start &&
          !startNear(it, rule, dtstart, wallAt(from, timing.frame, timing.allDay))) {
        it.reset(icalrecur_iterator_new(rule, dtstart));
        if (!it) return;
      }
    }
    for (int n = 0; n < kMaxPerRule; ++n) {
      icaltimetype wall = icalrecur_iterator_next(it.get());
      if (icaltime_is_null_time(wall)) break;
      wall.zone = nullptr;
      const auto span = spanAt(wall, timing.frame, timing.allDay, timing.length);
      if (!span) continue;
      if (span->start >= windowEnd_) break;
      consider(wall, *span);
    }
  }

  const IcsQuery& query_;
  FileZones& zones_;
  Seconds windowStart_;
  Seconds windowEnd_;
};

void collect(icalcomponent* c, int depth, std::vector<icalcomponent*>& events,
             std::vector<Definition>& definitions) {
  switch (icalcomponent_isa(c)) {
    case ICAL_VEVENT_COMPONENT:
      events.push_back(c);
      return;
    case ICAL_VTIMEZONE_COMPONENT:
      if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY)) {
        if (const char* tzid = icalproperty_get_tzid(p)) {
          definitions.push_back(Definition{tzid, nullptr, c});
        }
      }
      return;
    case ICAL_VCALENDAR_COMPONENT:
    case ICAL_XROOT_COMPONENT:
      if (depth > 1) return;
      for (icalcomponent* child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT);
           child != nullptr; child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT)) {
        collect(child, depth + 1, events, definitions);
      }
      return;
    default:
      return;
  }
}

constexpr std::string_view kTextToken = "#velkor-text:";

// RFC 5545 TEXT escapes undone; a backslash before anything else is kept as written.
std::string unescapeText(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
      continue;
    }
    const char next = raw[i + 1];
    if (next == 'n' || next == 'N') {
      out += '\n';
    } else if (next == '\\' || next == ';' || next == ',') {
      out += next;
    } else {
      out += raw[i];
      continue;
    }
    ++i;
  }
  return out;
}

// The value of a SUMMARY or LOCATION as the file has it: libical trims blanks and control
// characters at both ends and drops empty values, so these two are handed to it as tokens that
// name the raw values kept aside (see withTextTokens).
std::optional<std::string> textOf(icalcomponent* c, icalproperty_kind kind,
                                  const std::vector<std::string_view>& texts) {
  icalproperty* p = icalcomponent_get_first_property(c, kind);
  if (p == nullptr) return std::nullopt;
  const char* text =
      kind == ICAL_SUMMARY_PROPERTY ? icalproperty_get_summary(p) : icalproperty_get_location(p);
  if (text == nullptr) return std::nullopt;
  const std::string_view value = text;
  if (value.substr(0, kTextToken.size()) == kTextToken) {
    std::size_t index = 0;
    bool digits = value.size() > kTextToken.size();
    for (char ch : value.substr(kTextToken.size())) {
      digits = digits && ch >= '0' && ch <= '9' && index < texts.size();
      if (digits) index = index * 10 + static_cast<std::size_t>(ch - '0');
    }
    if (digits && index < texts.size()) return unescapeText(texts[index]);
  }
  return std::string(value);
}

bool isTextLine(std::string_view line) {
  for (std::string_view name : {std::string_view("SUMMARY"), std::string_view("LOCATION")}) {
    if (line.size() <= name.size() || (line[name.size()] != ':' && line[name.size()] != ';'))
      continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      same = (line[i] & ~0x20) == name[i];
    }
    if (same) return true;
  }
  return false;
}

// Replaces the value of every SUMMARY and LOCATION line (unfolded) by a token naming its raw value,
// which goes to `texts`; the other lines stay as they are. The raw values are kept in `storage`.
std::string withTextTokens(std::string_view text, std::vector<std::string>& storage,
                           std::vector<std::string_view>& texts) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  auto lineAt = [&](std::size_t at, std::size_t& next) {
    std::size_t nl = text.find('\n', at);
    next = nl == std::string_view::npos ? text.size() : nl + 1;
    std::string_view line = text.substr(at, (nl == std::string_view::npos ? text.size() : nl) - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  };
  while (pos < text.size()) {
    std::size_t next = 0;
    const std::string_view first = lineAt(pos, next);
    if (!isTextLine(first)) {
      out.append(text.substr(pos, next - pos));
      pos = next;
      continue;
    }
    std::string logical(first);
    while (next < text.size() && (text[next] == ' ' || text[next] == '\t')) {
      std::size_t after = 0;
      logical.append(lineAt(next, after).substr(1));
      next = after;
    }
    bool quoted = false;
    std::size_t colon = 0;
    while (colon < logical.size() && (logical[colon] != ':' || quoted)) {
      if (logical[colon] == '"') quoted = !quoted;
      ++colon;
    }
    if (colon == logical.size()) {
      out.append(text.substr(pos, next - pos));
    } else {
      storage.push_back(logical.substr(colon + 1));
      out.append(logical, 0, colon + 1)
          .append(kTextToken)
          .append(std::to_string(storage.size() - 1))
          .append("\r\n");
    }
    pos = next;
  }
  texts.assign(storage.begin(), storage.end());
  return out;
}

// Masters (no RECURRENCE-ID) in file order, each with the overrides of its UID wherever they stand;
// an override without a master is a unit of its own, where it stands.
std::vector<Unit> unitsOf(const std::vector<icalcomponent*>& events) {
  std::unordered_map<std::string_view, std::size_t> masterOf;  // UID -> index into events
  std::vector<bool> isOverride(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    isOverride[i] =
        icalcomponent_get_first_property(events[i], ICAL_RECURRENCEID_PROPERTY) != nullptr;
    const char* uid = icalcomponent_get_uid(events[i]);
    if (!isOverride[i] && uid != nullptr) masterOf.try_emplace(uid, i);
  }
  std::vector<Unit> units;
  std::unordered_map<std::size_t, std::size_t> unitOfMaster;
  std::vector<std::pair<std::size_t, icalcomponent*>> attached;  // (master index, override)
  for (std::size_t i = 0; i < events.size(); ++i) {
    const char* uid = icalcomponent_get_uid(events[i]);
    if (isOverride[i]) {
      const auto m = uid != nullptr ? masterOf.find(uid) : masterOf.end();
      if (m != masterOf.end()) {
        attached.emplace_back(m->second, events[i]);
      } else {
        units.push_back(Unit{nullptr, {events[i]}});
      }
    } else {
      unitOfMaster.emplace(i, units.size());
      units.push_back(Unit{events[i], {}});
    }
  }
  for (const auto& [master, component] : attached) {
    units[unitOfMaster.at(master)].overrides.push_back(component);
  }
  return units;
}

bool aloneOnLine(std::string_view text, std::size_t pos, std::size_t length) {
  const std::size_t after = pos + length;
  return (pos == 0 || text[pos - 1] == '\n') &&
         (after == text.size() || text[after] == '\r' || text[after] == '\n');
}

// Cuts the VTIMEZONE blocks out of `text`, adding them to `blocks`, and returns the rest. Parsing a
// zone costs more than the event beside it, and a store repeats the same few zones in every file:
// each distinct block is parsed once per run instead. Only blocks whose BEGIN and END lines are
// written plainly are cut; any other spelling stays for libical.
std::string withoutZoneBlocks(std::string_view text, std::vector<std::string_view>& blocks) {
  static constexpr std::string_view kBegin = "BEGIN:VTIMEZONE", kEnd = "END:VTIMEZONE";
  std::string rest;
  std::size_t copied = 0, from = 0;
  while (true) {
    const std::size_t begin = text.find(kBegin, from);
    if (begin == std::string_view::npos) break;
    from = begin + kBegin.size();
    if (!aloneOnLine(text, begin, kBegin.size())) continue;
    std::size_t end = text.find(kEnd, from);
    while (end != std::string_view::npos && !aloneOnLine(text, end, kEnd.size())) {
      end = text.find(kEnd, end + kEnd.size());
    }
    if (end == std::string_view::npos) break;
    std::size_t next = end + kEnd.size();
    if (next < text.size() && text[next] == '\r') ++next;
    if (next < text.size() && text[next] == '\n') ++next;
    blocks.push_back(text.substr(begin, next - begin));
    rest.append(text.substr(copied, begin - copied));
    copied = from = next;
  }
  if (copied == 0) return std::string(text);
  rest.append(text.substr(copied));
  return rest;
}

// libical's own string reader searches for the next line end from the current position for every
// 80-byte piece it hands to the parser, so a long line, or a file whose lines end in CR alone,
// costs time in the square of its length (a 16 MB line took over a minute). This reader hands out
// the same pieces and remembers where the line ends. Unlike libical's, it does not turn the last
// byte of a cut piece into a line feed when the line ends in CR alone, so such lines stay whole.
struct LineReader {
  const char* pos;
  const char* end;
  const char* lf = nullptr;  // the first LF at or after `pos`, or `end` when there is none
  const char* cr = nullptr;  // likewise for CR
};

const char* nextOf(LineReader& r, const char*& cached, char c) {
  if (cached == nullptr || (cached < r.pos && cached != r.end)) {
    const void* hit = std::memchr(r.pos, c, static_cast<std::size_t>(r.end - r.pos));
    cached = hit != nullptr ? static_cast<const char*>(hit) : r.end;
  }
  return cached;
}

char* nextPiece(char* out, std::size_t size, void* data) {
  LineReader& r = *static_cast<LineReader*>(data);
  if (r.pos == r.end || size < 2) return nullptr;
  std::size_t n = static_cast<std::size_t>(r.end - r.pos);
  bool crEnds = false;
  if (const char* lf = nextOf(r, r.lf, '\n'); lf != r.end) {
    n = static_cast<std::size_t>(lf + 1 - r.pos);
  } else if (const char* cr = nextOf(r, r.cr, '\r'); cr != r.end) {
    n = static_cast<std::size_t>(cr + 1 - r.pos);
    crEnds = true;
  }
  if (n > size - 1) {
    n = size - 1;
    crEnds = false;
  }
  std::memcpy(out, r.pos, n);
  if (crEnds) out[n - 1] = '\n';
  out[n] = '\0';
  r.pos += n;
  return out;
}

struct ParserFree {
  void operator()(icalparser* p) const { icalparser_free(p); }
};

// What icalparser_parse_string gives for `text` (up to a NUL byte, a leading BOM skipped).
icalcomponent* parseCalendarText(const std::string& text) {
  LineReader reader{text.c_str(), text.c_str() + std::strlen(text.c_str())};
  if (reader.end - reader.pos >= 3 && std::memcmp(reader.pos, "\xEF\xBB\xBF", 3) == 0) {
    reader.pos += 3;
  }
  const std::unique_ptr<icalparser, ParserFree> parser(icalparser_new());
  if (!parser) return nullptr;
  icalparser_set_gen_data(parser.get(), &reader);
  return icalparser_parse(parser.get(), nextPiece);
}

// Appends the events of `text` parsed whole; false when libical found no calendar in it.
bool appendParsed(const std::string& text, const std::string& calendarId, const IcsQuery& query,
                  ZoneCache& zones, std::vector<Event>& out) {
  std::vector<std::string_view> blocks;
  std::vector<std::string> rawTexts;
  std::vector<std::string_view> texts;
  const std::string rest = withTextTokens(withoutZoneBlocks(text, blocks), rawTexts, texts);
  const ComponentPtr root(parseCalendarText(rest));
  if (!root) return false;
  std::vector<icalcomponent*> events;
  FileZones fileZones{zones.impl(), {}, {}};
  for (std::string_view block : blocks) {
    const ZoneCache::Impl::Defined& d = fileZones.cache.fromBlock(block);
    if (!d.tzid.empty()) fileZones.definitions.push_back(Definition{d.tzid, d.zone.get(), nullptr});
  }
  collect(root.get(), 0, events, fileZones.definitions);
  FileSearch search(query, fileZones);
  for (const Unit& unit : unitsOf(events)) {
    for (const Occurrence& o : search.occurrences(unit)) {
      if (out.size() >= query.maxEvents) return true;
      Event e;
      e.calendarId = calendarId;
      e.title = textOf(o.source, ICAL_SUMMARY_PROPERTY, texts);
      e.location = textOf(o.source, ICAL_LOCATION_PROPERTY, texts);
      e.start = Instant(std::chrono::seconds(o.span.start));
      e.end = Instant(std::chrono::seconds(o.span.end));
      e.allDay = o.allDay;
      out.push_back(std::move(e));
    }
  }
  return true;
}

// Texts larger than this are parsed a batch of units at a time: a parsed event costs libical about
// ten times its text, so a 200 MB calendar parsed whole took gigabytes.
constexpr std::size_t kLargeText = std::size_t{4} << 20;
constexpr std::size_t kBatchText = std::size_t{2} << 20;

// Each batch is the calendar's header, some whole units and the calendar's end, parsed and freed
// before the next: the units come in the order the whole text would give them.
void appendInBatches(std::string_view text, const IcsLayout& layout, const std::string& calendarId,
                     const IcsQuery& query, ZoneCache& zones, std::vector<Event>& out) {
  std::string batch = layout.head;
  auto flush = [&] {
    if (batch.size() == layout.head.size()) return;
    batch.append(layout.tail);
    appendParsed(batch, calendarId, query, zones, out);
    batch.resize(layout.head.size());
  };
  for (std::size_t i = 0; i < layout.blocks.size() && out.size() < query.maxEvents; ++i) {
    if (layout.unitStarts[i] && batch.size() - layout.head.size() >= kBatchText) flush();
    const IcsLayout::Block& b = layout.blocks[i];
    batch.append(text.substr(b.begin, b.end - b.begin));
    // The last line of a text cut short may have no line end.
    if (batch.back() != '\n' && batch.back() != '\r') batch.append(layout.lineEnd);
  }
  if (out.size() < query.maxEvents) flush();
}

}  // namespace

void appendIcsEvents(const std::string& text, const std::string& calendarId, const IcsQuery& query,
                     ZoneCache& zones, std::vector<Event>& out) {
  if (out.size() >= query.maxEvents) return;
  // libical reads up to a NUL byte; so does the scan.
  const std::string_view read(text.c_str());
  if (read.size() > kLargeText) {
    if (const auto layout = icsLayoutOf(read)) {
      appendInBatches(read, *layout, calendarId, query, zones, out);
      return;
    }
  }
  if (appendParsed(text, calendarId, query, zones, out)) return;
  // libical gives nothing for a calendar cut short: its complete events are still there.
  if (const auto layout = icsLayoutOf(read); layout && layout->cutShort) {
    appendInBatches(read, *layout, calendarId, query, zones, out);
  }
}

}  // namespace velkor
