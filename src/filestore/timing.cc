#include "filestore/timing.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "filestore/scan.h"

namespace velkor {

Seconds utcSeconds(const icaltimetype& t) {
  return daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) *
             kDay +
         t.hour * 3600 + t.minute * 60 + t.second;
}

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

}  // namespace velkor
