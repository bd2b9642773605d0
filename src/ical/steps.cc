#include "ical/steps.h"

#include <algorithm>
#include <bit>

#include "base/civil_dates.h"
#include "ical/zones.h"

namespace velkor {
namespace {

constexpr int kLastYear = 2582;

icaltimetype onDay(icaltimetype t, std::int64_t day) {
  const CivilDate date = civilFromDays(day);
  t.year = static_cast<int>(date.year);
  t.month = static_cast<int>(date.month);
  t.day = static_cast<int>(date.day);
  return t;
}

// libical's order of two times on one clock: by date, then a date before a time of its day.
int compare(const icaltimetype& a, const icaltimetype& b) {
  for (const auto& [x, y] : {std::pair{a.year, b.year}, {a.month, b.month}, {a.day, b.day}}) {
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.is_date && b.is_date) return 0;
  if (a.is_date != b.is_date) return a.is_date ? -1 : 1;
  for (const auto& [x, y] :
       {std::pair{a.hour, b.hour}, {a.minute, b.minute}, {a.second, b.second}}) {
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool onlyByDayAndMonth(const icalrecurrencetype& r) {
  for (const short* part : {r.by_second, r.by_minute, r.by_hour, r.by_month_day, r.by_year_day,
                            r.by_week_no, r.by_set_pos}) {
    if (part[0] != ICAL_RECURRENCE_ARRAY_MAX) return false;
  }
  return true;
}

bool hasByParts(const icalrecurrencetype& r) {
  for (const short* part : {r.by_second, r.by_minute, r.by_hour, r.by_day, r.by_month_day,
                            r.by_year_day, r.by_week_no, r.by_month, r.by_set_pos}) {
    if (part[0] != ICAL_RECURRENCE_ARRAY_MAX) return true;
  }
  return false;
}

}  // namespace

Seconds periodOf(const icalrecurrencetype& r) {
  const Seconds interval = std::max<Seconds>(1, r.interval);
  switch (r.freq) {
    case ICAL_SECONDLY_RECURRENCE:
      return interval;
    case ICAL_MINUTELY_RECURRENCE:
      return 60 * interval;
    case ICAL_HOURLY_RECURRENCE:
      return 3600 * interval;
    case ICAL_DAILY_RECURRENCE:
      return kDay * interval;
    case ICAL_WEEKLY_RECURRENCE:
      return 7 * kDay * interval;
    case ICAL_MONTHLY_RECURRENCE:
      return 28 * kDay * interval;
    case ICAL_YEARLY_RECURRENCE:
      return 365 * kDay * interval;
    default:
      return kDay;
  }
}

std::optional<IteratorPtr> iteratorNear(const icalrecurrencetype& rule, const icaltimetype& dtstart,
                                        icaltimetype at) {
  at.zone = dtstart.zone;
  const bool subDaily = rule.freq == ICAL_SECONDLY_RECURRENCE ||
                        rule.freq == ICAL_MINUTELY_RECURRENCE ||
                        rule.freq == ICAL_HOURLY_RECURRENCE;
  if (rule.count == 0 && !subDaily) {
    IteratorPtr it(icalrecur_iterator_new(rule, dtstart));
    if (it && icalrecur_iterator_set_start(it.get(), at) == 0) return std::nullopt;
    return it;
  }
  const bool fixed =
      subDaily || rule.freq == ICAL_DAILY_RECURRENCE || rule.freq == ICAL_WEEKLY_RECURRENCE;
  if (!fixed || hasByParts(rule) || (dtstart.is_date && subDaily)) return std::nullopt;
  const Seconds step = periodOf(rule);
  const Seconds skipped = std::max<Seconds>(0, (utcSeconds(at) - utcSeconds(dtstart)) / step);
  icalrecurrencetype moved = rule;
  if (rule.count != 0) {
    if (skipped >= rule.count) return IteratorPtr{};
    moved.count = static_cast<int>(rule.count - skipped);
  }
  const Seconds ahead = skipped * step;
  icaltimetype first = dtstart;
  icaltime_adjust(&first, static_cast<int>(ahead / kDay), 0, 0, static_cast<int>(ahead % kDay));
  return IteratorPtr(icalrecur_iterator_new(moved, first));
}

bool misreadWeekly(const icalrecurrencetype& rule) {
  return rule.freq == ICAL_WEEKLY_RECURRENCE && rule.interval > 1 &&
         rule.by_day[0] != ICAL_RECURRENCE_ARRAY_MAX;
}

std::optional<RuleSteps> RuleSteps::from(const icalrecurrencetype& rule,
                                         const icaltimetype& dtstart, const icaltimetype& from) {
  const bool daily = rule.freq == ICAL_DAILY_RECURRENCE;
  if ((!daily && rule.freq != ICAL_WEEKLY_RECURRENCE) || rule.count < 0 ||
      !onlyByDayAndMonth(rule) || (rule.rscale != nullptr && rule.rscale[0] != '\0') ||
      rule.skip != ICAL_SKIP_OMIT) {
    return std::nullopt;
  }
  if (daily && rule.by_day[0] != ICAL_RECURRENCE_ARRAY_MAX) return std::nullopt;
  const bool until = !icaltime_is_null_time(rule.until);
  if (until && rule.until.zone != nullptr) return std::nullopt;
  RuleSteps s;
  s.dtstart_ = dtstart;
  s.until_ = rule.until;
  s.first_ = dayNumber(dtstart);
  s.weekly_ = !daily;
  const std::int64_t interval = std::max<std::int64_t>(1, rule.interval);
  s.step_ = interval * (daily ? 1 : 7);
  std::int64_t period = s.first_;
  if (s.weekly_) {
    const int weekStart = rule.week_start == ICAL_NO_WEEKDAY ? 1 : rule.week_start - 1;
    period -= (weekdayOfDay(s.first_) - weekStart + 7) % 7;
    if (rule.by_day[0] == ICAL_RECURRENCE_ARRAY_MAX) {
      s.days_ = 1u << static_cast<unsigned>(s.first_ - period);
    }
    for (int i = 0; i < ICAL_BY_DAY_SIZE && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
      if (icalrecurrencetype_day_position(rule.by_day[i]) != 0) return std::nullopt;
      const int weekday = icalrecurrencetype_day_day_of_week(rule.by_day[i]) - 1;
      if (weekday < 0 || weekday > 6) return std::nullopt;
      s.days_ |= 1u << static_cast<unsigned>((weekday - weekStart + 7) % 7);
    }
  }
  for (int i = 0; i < ICAL_BY_MONTH_SIZE && rule.by_month[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) {
    if (rule.by_month[i] < 1 || rule.by_month[i] > 12) return std::nullopt;  // leap months
    s.months_ |= 1u << static_cast<unsigned>(rule.by_month[i]);
  }
  // Whole periods from DTSTART's to the one holding `from`, and what they take from a COUNT:
  // each the instances of its days, the first those on or after DTSTART. Months that BYMONTH
  // leaves out take none, so such a rule with COUNT steps through them all.
  const std::int64_t target = dayNumber(from);
  const std::int64_t skipped =
      target > period && (rule.count == 0 || s.months_ == 0) ? (target - period) / s.step_ : 0;
  if (rule.count > 0) {
    const auto instances = [](unsigned days) { return std::int64_t{std::popcount(days)}; };
    const unsigned firstDays = s.weekly_ ? s.days_ >> static_cast<unsigned>(s.first_ - period) : 1;
    const std::int64_t taken =
        skipped == 0 ? 0
                     : instances(firstDays) + (skipped - 1) * (s.weekly_ ? instances(s.days_) : 1);
    s.left_ = rule.count - taken;
    s.done_ = s.left_ <= 0;
  }
  s.period_ = period + skipped * s.step_;
  return s;
}

icaltimetype RuleSteps::next() {
  while (!done_) {
    std::int64_t day = period_;
    if (weekly_) {
      while (offset_ < 7 && (days_ & (1u << static_cast<unsigned>(offset_))) == 0) ++offset_;
      if (offset_ == 7) {
        offset_ = 0;
        period_ += step_;
        continue;
      }
      day = period_ + offset_++;
    } else {
      period_ += step_;
    }
    if (day < first_) continue;
    const icaltimetype t = onDay(dtstart_, day);
    // libical's iterator gives nothing after its last year.
    if (t.year > kLastYear || (!icaltime_is_null_time(until_) && compare(t, until_) > 0)) {
      done_ = true;
      break;
    }
    if (months_ != 0 && (months_ & (1u << static_cast<unsigned>(t.month))) == 0) continue;
    done_ = left_ == 1;
    if (left_ > 0) --left_;
    return t;
  }
  return icaltime_null_time();
}

}  // namespace velkor
