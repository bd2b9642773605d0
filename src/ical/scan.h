// A quick byte scan of an iCalendar text that tells whether any VEVENT in it could reach a window,
// without parsing it: most files of a large store hold one event far from the asked week.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/civil_dates.h"

namespace velkor {

// What the scan learns of one VEVENT from its own content lines (unfolded; not those of the
// components inside it, nor BEGIN and END lines).
class EventScan {
 public:
  void note(std::string_view line);
  // False only when the event surely lies outside the days [firstDay, lastDay] (UTC day numbers)
  // even after moving its local dates by a few days either way for zone offsets.
  bool mayReach(std::int64_t firstDay, std::int64_t lastDay) const;

 private:
  bool read(std::string_view line);

  static constexpr std::int64_t kNever = std::int64_t{1} << 60;
  bool unknown_ = false;  // a value not understood: the event may reach any day
  bool hasStart_ = false, hasRule_ = false;
  std::int64_t startMin_ = kNever, startMax_ = -kNever, endMax_ = -kNever, spanDays_ = 0;
  std::int64_t extraMin_ = kNever, extraMax_ = -kNever;  // RDATE instances
  std::int64_t ruleEnd_ = -kNever;
};

// False only when every VEVENT of `text` surely lies outside the days [firstDay, lastDay] (UTC day
// numbers) even after moving its local dates by a few days either way for zone offsets; true when
// one may reach them or when anything in the text is not understood.
bool mayReachDays(std::string_view text, std::int64_t firstDay, std::int64_t lastDay);

}  // namespace velkor
