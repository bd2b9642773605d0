#include "filestore/expand.h"

#include <algorithm>
#include <chrono>
#include <unordered_set>
#include <utility>

#include "filestore/scan.h"

namespace velkor {
namespace {

// A rule yields at most this many occurrences per query, counted from where its expansion starts:
// more than an every-minute rule gives in two months, and FREQ=SECONDLY without an end still
// finishes in a fraction of a second.
constexpr int kMaxPerRule = 100000;

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

}  // namespace

std::vector<Occurrence> occurrencesOf(const Unit& unit, const IcsQuery& query, FileZones& zones) {
  FileSearch search(query, zones);
  return search.occurrences(unit);
}

}  // namespace velkor
