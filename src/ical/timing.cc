#include "ical/timing.h"

#include <algorithm>
#include <cstdlib>

#include "ical/scan.h"

namespace velkor {

std::optional<Seconds> localSeconds(icaltimetype t, bool midnight) {
  if (midnight) t.hour = t.minute = t.second = 0;
  return instantOf(utcSeconds(t), Frame{});
}

std::optional<Seconds> secondsOf(icaltimetype wall, const Frame& frame, bool date) {
  if (date || wall.is_date) return localSeconds(wall, true);
  return instantOf(utcSeconds(wall), frame);
}

icaltimetype wallAt(Seconds s, const Frame& frame, bool date) {
  const Frame& clock = date ? Frame{} : frame;
  icaltimetype t = wallOf(s + offsetAt(clock, s).value_or(0));
  if (date) {
    t.is_date = 1;
    t.hour = t.minute = t.second = 0;
  } else {
    t.zone = frame.utc ? icaltimezone_get_utc_timezone() : frame.zone;
  }
  return t;
}

Seconds longest(const Length& len, bool allDay) {
  if (allDay) return static_cast<Seconds>(len.days) * kDay;
  if (len.kind == Length::kExact) return len.exact;
  if (len.kind == Length::kNominal)
    return std::abs(static_cast<Seconds>(len.nominalDays)) * kDay + std::abs(len.nominalSeconds);
  return 0;
}

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

bool usable(const icaltimetype& t) {
  // libical checks only the year: a month 44 or a 25th hour is read by some of its functions and
  // not by others, so such a time is not read at all.
  if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t)) return false;
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > icaltime_days_in_month(t.month, t.year))
    return false;
  return t.is_date || (t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 &&
                       t.second >= 0 && t.second <= 60);
}

std::optional<Timing> timingOf(icalcomponent* event, FileZones& zones) {
  icalproperty* startProp = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
  if (startProp == nullptr) return std::nullopt;
  const icaltimetype start = icalproperty_get_dtstart(startProp);
  if (!usable(start)) return std::nullopt;
  icalproperty* endProp = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY);
  const icaltimetype end =
      endProp != nullptr ? icalproperty_get_dtend(endProp) : icaltime_null_time();
  Timing t;
  t.allDay = start.is_date != 0;
  if (!t.allDay) {
    // A floating start beside a zoned (or UTC) end reads on the end's clock, as a floating end
    // reads on the start's.
    std::optional<Frame> endClock;
    if (usable(end) && !end.is_date) {
      const Frame clock = zones.clockOf(endProp, Frame{nullptr, icaltime_is_utc(end) != 0});
      if (clock.zone != nullptr || clock.utc) endClock = clock;
    }
    t.frame = zones.frameOf(startProp, start, endClock);
    t.floating = t.frame.zone == nullptr && !t.frame.utc &&
                 icalproperty_get_first_parameter(startProp, ICAL_TZID_PARAMETER) == nullptr;
  }
  t.wall = start;
  t.wall.zone = nullptr;
  const auto startSeconds = secondsOf(t.wall, t.frame, t.allDay);
  if (!startSeconds) return std::nullopt;
  t.start = *startSeconds;

  icalproperty* durationProp = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY);
  if (usable(end)) {
    if (t.allDay) {
      // A DATE-TIME end after midnight keeps its day: the event runs through it.
      const bool intoDay = !end.is_date && (end.hour != 0 || end.minute != 0 || end.second != 0);
      t.length.days = static_cast<int>(
          std::max<Seconds>(1, daysFromCivil(end.year, end.month, end.day) + (intoDay ? 1 : 0) -
                                   daysFromCivil(start.year, start.month, start.day)));
    } else {
      // A floating end beside a zoned start reads on the start's clock (its TZID, should its
      // value end in Z as well).
      const Frame endFrame =
          end.is_date ? Frame{} : zones.frameOf(endProp, end, zones.clockOf(startProp, t.frame));
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

std::vector<RdateInstance> rdatesOf(icalcomponent* event, const Timing& timing,
                                    const std::optional<Frame>& unzoned, FileZones& zones) {
  std::vector<RdateInstance> out;
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p != nullptr;
       p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
    const icaldatetimeperiodtype rdate = icalproperty_get_rdate(p);
    if (usable(rdate.period.start)) {
      const icaltimetype s = rdate.period.start;
      const auto start = secondsOf(s, zones.frameOf(p, s, unzoned), false);
      if (!start) continue;
      Seconds end = *start;
      if (usable(rdate.period.end)) {
        const auto e =
            secondsOf(rdate.period.end, zones.frameOf(p, rdate.period.end, unzoned), false);
        if (!e) continue;
        end = *e;
      } else {
        end = *start + icaldurationtype_as_int(rdate.period.duration);
      }
      out.push_back(RdateInstance{s, Span{*start, std::max(*start, end)}, true});
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
      frame = zones.frameOf(p, t, unzoned);
    }
    if (const auto span = spanAt(t, frame, timing.allDay, timing.length)) {
      out.push_back(RdateInstance{t, *span, false});
    }
  }
  return out;
}

}  // namespace velkor
