// Daily and weekly rules stepped on wall dates: libical's iterator builds a calendar object for
// every rule and every step, which costs more than the rest of a search near a window.
#pragma once

#include <cstdint>
#include <optional>

#include "ical/libical.h"

namespace velkor {

// The occurrences of a FREQ=DAILY or FREQ=WEEKLY rule (INTERVAL, WKST, UNTIL, COUNT, BYMONTH; a
// weekly BYDAY of plain weekdays; no other BY part), from the first one on or after DTSTART whose
// period (a day, or a week from WKST) holds `from`'s date, COUNT less the instances of the
// periods before it. INTERVAL counts weeks that start on WKST from DTSTART's week; a DTSTART that
// is none of the BYDAY days is not an instance of the rule and not counted (as libical counts).
class RuleSteps {
 public:
  // None for a rule of another shape, or an UNTIL that is not on the wall clock of `dtstart`.
  static std::optional<RuleSteps> from(const icalrecurrencetype& rule, const icaltimetype& dtstart,
                                       const icaltimetype& from);

  // The next occurrence; a null time after the last.
  icaltimetype next();

 private:
  icaltimetype dtstart_{};
  icaltimetype until_{};
  std::int64_t first_ = 0;   // DTSTART's day number
  std::int64_t period_ = 0;  // the current day, or the first day of the current week
  std::int64_t step_ = 1;    // days from one period to the next
  std::int64_t left_ = 0;    // instances COUNT leaves; 0 without COUNT
  int offset_ = 0;           // the next day of the week to try, counted from `period_`
  unsigned days_ = 0;        // weekly: bit n for n days after the week's first day
  unsigned months_ = 0;      // BYMONTH: bit n for month n; none when 0
  bool weekly_ = false;
  bool done_ = false;
};

// The least time from the start of one of the rule's periods (its FREQ times its INTERVAL) to
// the next; instances of a rule without BY parts of seconds to weeks are exactly this far apart.
Seconds periodOf(const icalrecurrencetype& rule);

// Whether libical's iterator gives other weeks than the rule names: a weekly rule of INTERVAL
// over 1 with BYDAY ignores WKST (`FREQ=WEEKLY;INTERVAL=3;BYDAY=SU` from a Friday skips the Sunday
// of its own Monday week). Such a rule is stepped here wherever it starts, when RuleSteps takes
// its shape (BYDAY of plain weekdays, BYMONTH).
bool misreadWeekly(const icalrecurrencetype& rule);

// An iterator of `rule` (from `dtstart`, a wall time without zone) moved to `at` on the same
// clock, or none when the rule cannot be moved so: it then runs from DTSTART. A null iterator
// when the rule has no instance left there. libical's own jump keeps the phase of daily and longer
// rules without COUNT only; a rule of seconds, minutes, hours, days or weeks with no BY part
// restarts instead from its own instance at or before `at`, with a COUNT less the instances
// skipped (EXDATE removes instances after they are counted, so they are skipped alike).
std::optional<IteratorPtr> iteratorNear(const icalrecurrencetype& rule, const icaltimetype& dtstart,
                                        icaltimetype at);

}  // namespace velkor
