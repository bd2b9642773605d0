#include "ical/libical_quirks.h"

namespace velkor {

icalrecurrencetype asTable(const icalrecurrencetype& rule, const icaltimetype& dtstart) {
  icalrecurrencetype r = rule;
  const auto given = [](const short* part) { return part[0] != ICAL_RECURRENCE_ARRAY_MAX; };
  if (r.freq != ICAL_YEARLY_RECURRENCE || given(r.by_month) || given(r.by_year_day)) return r;
  if (given(r.by_month_day) && !given(r.by_week_no)) {
    for (int i = 0; i < ICAL_BY_DAY_SIZE && given(&r.by_day[i]); ++i) {
      if (icalrecurrencetype_day_position(r.by_day[i]) != 0) return r;
    }
    for (short m = 0; m < 12; ++m) r.by_month[m] = static_cast<short>(m + 1);
    r.by_month[12] = ICAL_RECURRENCE_ARRAY_MAX;
  } else if (given(r.by_week_no) && !given(r.by_month_day) && !given(r.by_day)) {
    r.by_day[0] = static_cast<short>(icaltime_day_of_week(dtstart));
    r.by_day[1] = ICAL_RECURRENCE_ARRAY_MAX;
  }
  return r;
}

std::optional<Seconds> midnightInstance(const icaltimetype& wall, Seconds at, const Frame& frame,
                                        const StartsIn& startsIn) {
  if (wall.hour != 0 || wall.minute != 0 || wall.second != 0) return std::nullopt;
  const auto dayEnd = instantOf(utcSeconds(wall) + kDay, frame);
  if (!dayEnd) return std::nullopt;
  const std::vector<Seconds> starts = startsIn(at, *dayEnd);
  if (starts.size() != 1 || starts[0] == at) return std::nullopt;
  return starts[0];
}

}  // namespace velkor
