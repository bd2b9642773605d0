#include "ical/scan.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/content_lines.h"
#include "ical/ics_text.h"

namespace velkor {
namespace {

using Day = std::int64_t;

// Local dates become instants through zone offsets (at most 99:59 in a VTIMEZONE) and the time of
// day: five days either way covers both.
constexpr Day kMarginDays = 5;

std::optional<unsigned> digits(std::string_view text) {
  if (text.empty()) return std::nullopt;
  unsigned v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  return v;
}

// The day of a DATE ("20260303") or DATE-TIME ("20260303T100000", with or without "Z").
std::optional<Day> dateValueDay(std::string_view v) {
  if (v.size() != 8 && v.size() != 15 && v.size() != 16) return std::nullopt;
  auto y = digits(v.substr(0, 4));
  auto m = digits(v.substr(4, 2));
  auto d = digits(v.substr(6, 2));
  if (!y || !m || !d || *m < 1 || *m > 12 || *d < 1 || *d > 31) return std::nullopt;
  if (v.size() > 8) {
    if (upperAscii(v[8]) != 'T') return std::nullopt;
    auto hh = digits(v.substr(9, 2));
    auto mm = digits(v.substr(11, 2));
    auto ss = digits(v.substr(13, 2));
    if (!hh || !mm || !ss || *hh > 23 || *mm > 59 || *ss > 60) return std::nullopt;
    if (v.size() == 16 && upperAscii(v[15]) != 'Z') return std::nullopt;
  }
  return daysFromCivil(*y, *m, *d);
}

// Whole days (rounded up) that a DURATION ("P1W", "-PT90M", "P1DT2H") spans, sign dropped.
std::optional<Day> durationDays(std::string_view v) {
  if (!v.empty() && (v[0] == '+' || v[0] == '-')) v.remove_prefix(1);
  if (v.empty() || upperAscii(v[0]) != 'P') return std::nullopt;
  v.remove_prefix(1);
  std::int64_t days = 0, seconds = 0;
  bool inTime = false, any = false;
  while (!v.empty()) {
    if (upperAscii(v[0]) == 'T' && !inTime) {
      inTime = true;
      v.remove_prefix(1);
      continue;
    }
    std::size_t n = 0;
    while (n < v.size() && v[n] >= '0' && v[n] <= '9') ++n;
    if (n == 0 || n > 9 || n == v.size()) return std::nullopt;
    const std::int64_t amount = *digits(v.substr(0, n));
    const char unit = upperAscii(v[n]);
    if (!inTime && unit == 'W') {
      days += amount * 7;
    } else if (!inTime && unit == 'D') {
      days += amount;
    } else if (inTime && unit == 'H') {
      seconds += amount * 3600;
    } else if (inTime && unit == 'M') {
      seconds += amount * 60;
    } else if (inTime && unit == 'S') {
      seconds += amount;
    } else {
      return std::nullopt;
    }
    any = true;
    v.remove_prefix(n + 1);
  }
  if (!any) return std::nullopt;
  return days + (seconds + 86399) / 86400;
}

}  // namespace

bool EventScan::mayReach(Day firstDay, Day lastDay) const {
  if (unknown_ || !hasStart_) return true;  // the parser decides what such an event means
  Day span = std::max<Day>(spanDays_, 1);
  if (endMax_ != -kNever) span = std::max(span, endMax_ - startMin_);
  const Day lo = std::min(startMin_, extraMin_);
  Day hi = std::max({startMax_, endMax_, extraMax_}) + span;
  if (hasRule_) hi = ruleEnd_ == kNever ? kNever : std::max(hi, ruleEnd_ + span);
  return lo - kMarginDays <= lastDay && hi + kMarginDays >= firstDay;
}

void EventScan::note(std::string_view line) {
  if (!unknown_ && !read(line)) unknown_ = true;
}

// Reads one property of the VEVENT into its bounds; false when its value is not understood.
bool EventScan::read(std::string_view line) {
  // Every name this reads begins with D or R; most lines of an event are settled here.
  if (line.empty() || (upperAscii(line[0]) != 'D' && upperAscii(line[0]) != 'R')) return true;
  const std::string_view name = nameOf(line);
  // An override for this and every later instance can move the whole rest of a series.
  if (equalsUpper(name, "RECURRENCE-ID")) return !hasRangeParameter(line);
  const bool start = equalsUpper(name, "DTSTART"), end = equalsUpper(name, "DTEND"),
             duration = equalsUpper(name, "DURATION"), rule = equalsUpper(name, "RRULE"),
             rdate = equalsUpper(name, "RDATE");
  if (!start && !end && !duration && !rule && !rdate) return true;
  const auto value = valueOf(line);
  if (!value) return false;
  if (start || end) {
    const auto day = dateValueDay(*value);
    if (!day) return false;
    if (start) {
      hasStart_ = true;
      startMin_ = std::min(startMin_, *day);
      startMax_ = std::max(startMax_, *day);
    } else {
      endMax_ = std::max(endMax_, *day);
    }
  } else if (duration) {
    const auto days = durationDays(*value);
    if (!days) return false;
    spanDays_ = std::max(spanDays_, *days);
  } else if (rule) {
    hasRule_ = true;
    std::string_view rest = *value;
    bool bounded = false;
    while (!rest.empty()) {
      const std::size_t semi = std::min(rest.find(';'), rest.size());
      const std::string_view part = rest.substr(0, semi);
      if (startsWithUpper(part, "UNTIL=")) {
        const auto day = dateValueDay(part.substr(6));
        if (!day) return false;
        ruleEnd_ = std::max(ruleEnd_, *day);
        bounded = true;
      }
      rest.remove_prefix(std::min(semi + 1, rest.size()));
    }
    if (!bounded) ruleEnd_ = kNever;
  } else {
    std::string_view rest = *value;
    while (true) {
      const std::size_t comma = std::min(rest.find(','), rest.size());
      std::string_view item = rest.substr(0, comma);
      const std::size_t slash = item.find('/');
      const auto day = dateValueDay(item.substr(0, slash));
      if (!day) return false;
      extraMin_ = std::min(extraMin_, *day);
      Day last = *day;
      if (slash != std::string_view::npos) {
        const std::string_view tail = item.substr(slash + 1);
        if (const auto endDay = dateValueDay(tail)) {
          last = std::max(last, *endDay);
        } else if (const auto days = durationDays(tail)) {
          last += *days;
        } else {
          return false;
        }
      }
      extraMax_ = std::max(extraMax_, last);
      if (comma == rest.size()) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return true;
}

bool mayReachDays(std::string_view text, std::int64_t firstDay, std::int64_t lastDay) {
  // libical also ends lines at a CR alone (files written with CR line ends); this scan reads lines
  // by LF, so such a text is left to the full parse.
  for (std::size_t cr = text.find('\r'); cr != std::string_view::npos;
       cr = text.find('\r', cr + 1)) {
    if (cr + 1 == text.size() || text[cr + 1] != '\n') return true;
  }
  struct Open {
    bool vevent;
    EventScan scan;
  };
  std::vector<Open> open;  // the components around the current line, innermost last
  ContentLines lines(text);
  while (const std::optional<ContentLine> content = lines.next()) {
    const std::string_view line = content->text;
    if (startsWithUpper(line, "BEGIN") || startsWithUpper(line, "END")) {
      const bool begin = startsWithUpper(line, "BEGIN");
      const std::string_view rest = line.substr(begin ? 5 : 3);
      if (rest.empty() || rest[0] != ':') return true;
      // libical takes any name that starts with VEVENT for one.
      const bool vevent = startsWithUpper(rest.substr(1), "VEVENT");
      if (begin) {
        open.push_back(Open{vevent, {}});
      } else {
        if (open.empty() || open.back().vevent != vevent) return true;
        if (vevent && open.back().scan.mayReach(firstDay, lastDay)) return true;
        open.pop_back();
      }
    } else if (!open.empty() && open.back().vevent) {
      open.back().scan.note(line);
    }
  }
  return !open.empty();
}

}  // namespace velkor
