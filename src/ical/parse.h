// libical's view of an iCalendar text: the parse itself, and what is prepared around it (VTIMEZONE
// blocks cut out, SUMMARY and LOCATION values kept as written, VEVENTs grouped into units).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ical/expand.h"

namespace velkor {

// What icalparser_parse_string gives for `text` (up to a NUL byte, a leading BOM skipped).
ComponentPtr parseCalendarText(const std::string& text);

// The VEVENTs and VTIMEZONEs of a parsed calendar (at the top, or inside a top-level VCALENDAR),
// and the zone the calendar names for its floating times (X-WR-TIMEZONE).
void collect(icalcomponent* c, int depth, std::vector<icalcomponent*>& events, FileZones& zones);

// The zone an X-WR-TIMEZONE line before the calendar's first VEVENT names, written in any case
// and with any parameters; empty when there is none.
std::string headerZoneOf(std::string_view text);

// Replaces the value of every SUMMARY and LOCATION line (unfolded) by a token naming its raw value,
// which goes to `texts`; the other lines stay as they are. The raw values are kept in `storage`.
std::string withTextTokens(std::string_view text, std::vector<std::string>& storage,
                           std::vector<std::string_view>& texts);

// The value of a SUMMARY or LOCATION as the file has it (see withTextTokens).
std::optional<std::string> textOf(icalcomponent* c, icalproperty_kind kind,
                                  const std::vector<std::string_view>& texts);

// Cuts the VTIMEZONE blocks out of `text`, adding them to `blocks`, and returns the rest.
std::string withoutZoneBlocks(std::string_view text, std::vector<std::string_view>& blocks);

// One unit per UID, in the order of each UID's first master (or, without master, first override):
// the master that supersedes the others of its UID, and every override of the UID.
std::vector<UidEvents> unitsOf(const std::vector<icalcomponent*>& events);

}  // namespace velkor
