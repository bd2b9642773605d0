#include "ical/expand.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "ical/libical_quirks.h"
#include "ical/scan.h"
#include "ical/steps.h"

namespace velkor {
namespace {

// A rule yields at most this many occurrences per query, counted from where its expansion starts:
// more than an every-minute rule gives in two months, and FREQ=SECONDLY without an end still
// finishes in a fraction of a second.
constexpr int kMaxPerRule = 100000;
// A COUNT rule that cannot be moved to the window arithmetically (BY parts, months, years) is
// stepped through from DTSTART: over at most this many of its instances, or of its periods (each
// costs libical a step, about 2 us), before the window; an every-minute rule on weekdays begun
// five months before it reaches it in under half a second.
constexpr int kMaxCounted = 300000;

// Instances of a recurrence set named by their start: by date when given as a DATE (or when the
// event is all-day), else by instant.
struct InstanceSet {
  std::unordered_set<Seconds> instants;
  std::unordered_set<Seconds> days;

  bool contains(const icaltimetype& wall, Seconds start) const {
    if (!days.empty() && days.count(daysFromCivil(wall.year, wall.month, wall.day)) != 0)
      return true;
    return instants.count(start) != 0;
  }
};

// The instance a RECURRENCE-ID or EXDATE names. A floating time in a zoned event reads on the
// clock of the event's start; in an event written floating (`floating`), any time names the
// instance of its wall time as written, which is the same in every zone.
struct InstanceId {
  icaltimetype wall{};
  bool byDay = false;
  Seconds key = 0;  // a day number when `byDay`, else an instant
};

std::optional<InstanceId> instanceOf(icalproperty* prop, const icaltimetype& t, bool allDay,
                                     const std::optional<Frame>& unzoned, bool floating,
                                     FileZones& zones) {
  if (!usable(t)) return std::nullopt;
  if (t.is_date || allDay) return InstanceId{t, true, daysFromCivil(t.year, t.month, t.day)};
  const auto s = secondsOf(t, floating ? Frame{} : zones.frameOf(prop, t, unzoned), false);
  if (!s) return std::nullopt;
  return InstanceId{t, false, *s};
}

void add(InstanceSet& set, const InstanceId& id) {
  (id.byDay ? set.days : set.instants).insert(id.key);
}

Seconds stampOf(icalcomponent* c) {
  icalproperty* p = icalcomponent_get_first_property(c, ICAL_DTSTAMP_PROPERTY);
  const icaltimetype t = p != nullptr ? icalproperty_get_dtstamp(p) : icaltime_null_time();
  return usable(t) ? utcSeconds(t) : std::numeric_limits<Seconds>::min();
}

struct Override {
  icalcomponent* component = nullptr;
  Timing timing;
  std::optional<InstanceId> id;  // none when its RECURRENCE-ID cannot be read
  bool thisAndFuture = false;    // RANGE=THISANDFUTURE: later instances change alike
  bool excluded = false;         // the master's EXDATE removes its instance
};

// How far an occurrence can reach after the start the rule gives it, and before it.
struct Reach {
  Seconds ahead = 0;
  Seconds behind = 0;
};

// How a THISANDFUTURE override changes the instances after its own: their start moves as its
// start moved from the instance it replaces, on the master's clock; they take its length.
struct Shift {
  Seconds from = 0;  // the instance key it applies after
  Seconds by = 0;    // seconds of wall time (days for all-day events)
  const Override* source = nullptr;
};

class RecurrenceExpander {
 public:
  RecurrenceExpander(const IcsQuery& query, FileZones& zones)
      : query_(query),
        zones_(zones),
        windowStart_(
            std::chrono::duration_cast<std::chrono::seconds>(query.start.time_since_epoch())
                .count()),
        windowEnd_(std::chrono::duration_cast<std::chrono::seconds>(query.end.time_since_epoch())
                       .count()) {}

  std::vector<Occurrence> occurrences(const UidEvents& unit) {
    std::vector<Occurrence> found;
    std::optional<Timing> master;
    if (unit.master != nullptr) master = timingOf(unit.master, zones_);
    std::vector<Override> overrides = overridesOf(unit, master);
    if (master) expand(unit.master, *master, overrides, found);
    for (const Override& o : overrides) {
      if (o.excluded) continue;
      const Timing& t = o.timing;
      if (const auto span = spanAt(t.wall, t.frame, t.allDay, t.length)) {
        if (inWindow(*span)) found.push_back(Occurrence{*span, t.allDay, o.component});
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

  // The overrides with their instances; of several for one instance, the one that supersedes
  // the others.
  std::vector<Override> overridesOf(const UidEvents& unit, const std::optional<Timing>& master) {
    std::vector<Override> out;
    std::unordered_map<Seconds, std::size_t> byInstant, byDay;  // instance key -> index in `out`
    for (icalcomponent* c : unit.overrides) {
      const auto t = timingOf(c, zones_);
      if (!t) continue;
      Override o{c, *t, std::nullopt, false, false};
      icalproperty* p = icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY);
      const bool allDay = master ? master->allDay : t->allDay;
      std::optional<Frame> unzoned;
      if (!allDay) unzoned = master ? master->frame : t->frame;
      const bool floating = master ? master->floating : t->floating;
      o.id = instanceOf(p, icalproperty_get_recurrenceid(p), allDay, unzoned, floating, zones_);
      if (o.id && !o.id->byDay && master && unit.master != nullptr) {
        const Frame frame = floating ? Frame{} : zones_.frameOf(p, o.id->wall, unzoned);
        atMidnight(*o.id, frame, unit.master, *master);
      }
      icalparameter* range = icalproperty_get_first_parameter(p, ICAL_RANGE_PARAMETER);
      o.thisAndFuture = range != nullptr &&
                        icalparameter_get_range(range) == ICAL_RANGE_THISANDFUTURE && master &&
                        o.id && t->allDay == master->allDay;
      if (!o.id) {
        out.push_back(o);
        continue;
      }
      const auto [same, added] =
          (o.id->byDay ? byDay : byInstant).try_emplace(o.id->key, out.size());
      if (added) {
        out.push_back(o);
      } else if (supersedes(c, out[same->second].component)) {
        out[same->second] = o;
      }
    }
    return out;
  }

  // A RECURRENCE-ID at local midnight may name the day's one instance (Exchange).
  void atMidnight(InstanceId& id, const Frame& frame, icalcomponent* master, const Timing& timing) {
    const auto named = midnightInstance(id.wall, id.key, frame, [&](Seconds from, Seconds to) {
      return startsIn(master, timing, from, to);
    });
    if (!named) return;
    id.key = *named;
    id.wall = wallAt(*named, timing.frame, false);
    id.wall.zone = nullptr;
  }

  // The distinct starts of a timed series' DTSTART and rules in [from, to).
  std::vector<Seconds> startsIn(icalcomponent* master, const Timing& timing, Seconds from,
                                Seconds to) {
    RecurrenceExpander day(query_, zones_);
    day.windowStart_ = from;
    day.windowEnd_ = to;
    std::vector<Seconds> starts;
    auto collect = [&](const icaltimetype&, const Span& span) {
      if (span.start >= from && span.start < to &&
          std::find(starts.begin(), starts.end(), span.start) == starts.end()) {
        starts.push_back(span.start);
      }
    };
    if (const auto span = spanAt(timing.wall, timing.frame, false, timing.length)) {
      collect(timing.wall, *span);
    }
    for (icalproperty* p = icalcomponent_get_first_property(master, ICAL_RRULE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(master, ICAL_RRULE_PROPERTY)) {
      day.expandRule(icalproperty_get_rrule(p), timing, Reach{}, collect);
    }
    return starts;
  }

  // The instance key of a THISANDFUTURE override and how far it moves the later instances.
  static Shift shiftOf(const Override& o, const Timing& master) {
    Shift s{o.id->key, 0, &o};
    if (master.allDay) {
      const icaltimetype& t = o.timing.wall;
      s.by = daysFromCivil(t.year, t.month, t.day) - o.id->key;
    } else {
      s.by = utcSeconds(wallAt(o.timing.start, master.frame, false)) -
             utcSeconds(wallAt(o.id->key, master.frame, false));
    }
    return s;
  }

  void expand(icalcomponent* master, const Timing& timing, std::vector<Override>& overrides,
              std::vector<Occurrence>& found) {
    std::optional<Frame> unzoned;
    if (!timing.allDay) unzoned = timing.frame;
    InstanceSet excluded;
    for (icalproperty* p = icalcomponent_get_first_property(master, ICAL_EXDATE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(master, ICAL_EXDATE_PROPERTY)) {
      if (const auto id = instanceOf(p, icalproperty_get_exdate(p), timing.allDay, unzoned,
                                     timing.floating, zones_)) {
        add(excluded, *id);
      }
    }
    // An override of an excluded instance is dropped (EXDATE wins); a THISANDFUTURE one still
    // changes the instances after it.
    InstanceSet replaced;
    std::vector<Shift> shifts;
    for (Override& o : overrides) {
      if (!o.id) continue;
      o.excluded = o.id->byDay ? excluded.days.count(o.id->key) != 0
                               : excluded.contains(o.id->wall, o.id->key);
      add(replaced, *o.id);
      if (o.thisAndFuture) shifts.push_back(shiftOf(o, timing));
    }
    std::sort(shifts.begin(), shifts.end(),
              [](const Shift& a, const Shift& b) { return a.from < b.from; });
    // How far a shifted instance can lie from where the rule puts it, either way.
    Reach reach{longest(timing.length, timing.allDay), 0};
    for (const Shift& s : shifts) {
      const Seconds by = timing.allDay ? s.by * kDay : s.by;
      reach.ahead = std::max(
          reach.ahead, std::max<Seconds>(0, by) + longest(s.source->timing.length, timing.allDay));
      reach.behind = std::max(reach.behind, -by);
    }

    const std::size_t first = found.size();
    auto consider = [&](const icaltimetype& wall, const Span& span) {
      if (excluded.contains(wall, span.start) || replaced.contains(wall, span.start)) return;
      const Seconds key =
          timing.allDay ? daysFromCivil(wall.year, wall.month, wall.day) : span.start;
      // The THISANDFUTURE override of the latest instance before this one, if any.
      auto shift = std::lower_bound(shifts.begin(), shifts.end(), key,
                                    [](const Shift& s, Seconds k) { return s.from < k; });
      if (shift == shifts.begin()) {
        if (inWindow(span)) found.push_back(Occurrence{span, timing.allDay, master});
        return;
      }
      --shift;
      icaltimetype moved = wall;
      if (timing.allDay) {
        icaltime_adjust(&moved, static_cast<int>(shift->by), 0, 0, 0);
      } else {
        moved = wallOf(utcSeconds(wallAt(span.start, timing.frame, false)) + shift->by);
      }
      const Timing& by = shift->source->timing;
      if (const auto s = spanAt(moved, timing.frame, timing.allDay, by.length); s && inWindow(*s)) {
        found.push_back(Occurrence{*s, timing.allDay, shift->source->component});
      }
    };
    // A start that an RDATE period gives takes the period's length, whatever else gives it too
    // (DTSTART, a rule, a plain RDATE): the period is what the author wrote for that instance.
    std::unordered_set<Seconds> periodStarts;
    const std::vector<RdateInstance> rdates = rdatesOf(master, timing, unzoned, zones_);
    for (const RdateInstance& r : rdates) {
      if (r.period && periodStarts.insert(r.span.start).second) consider(r.wall, r.span);
    }
    auto unlessPeriod = [&](const icaltimetype& wall, const Span& span) {
      if (periodStarts.count(span.start) == 0) consider(wall, span);
    };
    if (const auto span = spanAt(timing.wall, timing.frame, timing.allDay, timing.length)) {
      unlessPeriod(timing.wall, *span);
    }
    for (icalproperty* p = icalcomponent_get_first_property(master, ICAL_RRULE_PROPERTY);
         p != nullptr; p = icalcomponent_get_next_property(master, ICAL_RRULE_PROPERTY)) {
      expandRule(icalproperty_get_rrule(p), timing, reach, unlessPeriod);
    }
    for (const RdateInstance& r : rdates) {
      if (!r.period) unlessPeriod(r.wall, r.span);
    }
    // The same instant reached twice from one VEVENT (DTSTART, a rule, an RDATE) is one
    // occurrence; an instance a THISANDFUTURE override moves onto another's start is one more.
    // Sources are ranked in the order they first gave an occurrence, so ties keep a fixed order.
    const auto begin = found.begin() + static_cast<std::ptrdiff_t>(first);
    std::vector<icalcomponent*> sources;
    for (auto o = begin; o != found.end(); ++o) {
      if (std::find(sources.begin(), sources.end(), o->source) == sources.end())
        sources.push_back(o->source);
    }
    const auto key = [&sources](const Occurrence& o) {
      return std::pair(o.span.start, std::find(sources.begin(), sources.end(), o.source));
    };
    std::stable_sort(begin, found.end(),
                     [&key](const Occurrence& a, const Occurrence& b) { return key(a) < key(b); });
    found.erase(std::unique(begin, found.end(),
                            [](const Occurrence& a, const Occurrence& b) {
                              return a.span.start == b.span.start && a.source == b.source;
                            }),
                found.end());
  }

  template <typename Consider>
  void expandRule(const icalrecurrencetype& rule, const Timing& timing, const Reach& reach,
                  Consider& consider) {
    if (rule.freq == ICAL_NO_RECURRENCE) return;
    // The rule runs on wall times without zone: given one, libical moves a time the clock skips
    // an hour on, and keeps it there the next day. Its instants are ours to work out, and so is
    // an UNTIL in UTC, which becomes the wall time it reads on the event's clock.
    icaltimetype dtstart = timing.wall;
    dtstart.zone = nullptr;
    icalrecurrencetype own = asTable(rule, dtstart);
    if (!timing.allDay && usable(own.until) && !own.until.is_date && icaltime_is_utc(own.until)) {
      own.until = wallAt(utcSeconds(own.until), timing.frame, false);
      own.until.zone = nullptr;
    }
    // Occurrences starting before this cannot reach the window: the wall time of `from` is exact
    // in the event's zone, and a day more covers the clock going back across it.
    const Seconds from = windowStart_ - reach.ahead - kDay;
    const bool canJump = from > timing.start;
    // A full read expands from DTSTART; a rule that meets its cap is expanded again from near
    // the window, as a fast read does, so the cap never hides what the window has.
    if (!runRule(own, dtstart, timing, reach, consider, canJump && query_.expandNearWindow, from) &&
        canJump && !query_.expandNearWindow) {
      runRule(own, dtstart, timing, reach, consider, true, from);
    }
  }

  // Expands `rule` from DTSTART, or from near `from` when `near`; false when it met a cap.
  template <typename Consider>
  bool runRule(const icalrecurrencetype& own, const icaltimetype& dtstart, const Timing& timing,
               const Reach& reach, Consider& consider, bool near, Seconds from) {
    const icaltimetype at = wallAt(from, timing.frame, timing.allDay);
    std::optional<RuleSteps> steps;
    if (near || misreadWeekly(own)) steps = RuleSteps::from(own, dtstart, near ? at : dtstart);
    IteratorPtr it;
    if (!steps) {
      std::optional<IteratorPtr> moved;
      if (near) moved = iteratorNear(own, dtstart, at);
      it = moved ? std::move(*moved) : IteratorPtr(icalrecur_iterator_new(own, dtstart));
      if (!it) return true;
    }
    // A COUNT rule's instances before `at` count towards its end and cannot reach the window: a
    // near read steps over them without building their times.
    const Seconds before = own.count != 0 ? utcSeconds(at) : std::numeric_limits<Seconds>::min();
    const Seconds first = utcSeconds(dtstart), period = periodOf(own);
    for (int n = 0, counted = 0; n < kMaxPerRule;) {
      icaltimetype wall = steps ? steps->next() : icalrecur_iterator_next(it.get());
      if (icaltime_is_null_time(wall)) return true;
      wall.zone = nullptr;
      if (const Seconds s = utcSeconds(wall); s < before) {
        if (++counted > kMaxCounted || (s - first) / period > kMaxCounted) return false;
        if (near) continue;
      } else {
        ++n;
      }
      const auto span = spanAt(wall, timing.frame, timing.allDay, timing.length);
      if (!span) continue;
      if (span->start >= windowEnd_ + reach.behind) return true;
      consider(wall, *span);
    }
    return false;
  }

  const IcsQuery& query_;
  FileZones& zones_;
  Seconds windowStart_;
  Seconds windowEnd_;
};

}  // namespace

bool supersedes(icalcomponent* later, icalcomponent* earlier) {
  const int a = icalcomponent_get_sequence(later), b = icalcomponent_get_sequence(earlier);
  if (a != b) return a > b;
  return stampOf(later) >= stampOf(earlier);
}

std::vector<Occurrence> occurrencesOf(const UidEvents& unit, const IcsQuery& query,
                                      FileZones& zones) {
  RecurrenceExpander search(query, zones);
  return search.occurrences(unit);
}

}  // namespace velkor
