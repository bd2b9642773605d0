// The layout of one iCalendar text found by a byte scan: its header and its top-level VEVENT
// blocks, grouped as the event search groups them, so that a large or cut-short text can be parsed
// a few blocks at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

struct IcsLayout {
  // "BEGIN:VCALENDAR", the calendar's own property lines and its VTIMEZONE blocks, as written.
  std::string head;
  // "END:VCALENDAR" with the line end the text uses.
  std::string tail;
  std::string lineEnd;
  struct Block {
    std::uint32_t begin = 0;  // offsets into the text, END:VEVENT's line end included if any
    std::uint32_t end = 0;
  };
  // Every complete VEVENT block, in the order of units: each UID's first master (or, without
  // master, its first override) where it stands, followed by the other VEVENTs of that UID in
  // text order; a VEVENT without UID where it stands.
  std::vector<Block> blocks;
  // unitStarts[i]: whether blocks[i] starts a unit (a batch may only end before such a block).
  std::vector<bool> unitStarts;
  // The text stops before END:VCALENDAR (cut short); blocks still open there are left out.
  bool cutShort = false;
};

// The layout of `text`, or none when anything in it is not written plainly enough to be sure the
// blocks parsed apart give what the whole text parsed at once gives: BEGIN and END lines in
// capitals and unfolded, one VCALENDAR, no VTIMEZONE or VCALENDAR inside another component, UIDs
// without escapes or blanks at either end, and (unless the text has no LF at all) no CR alone.
std::optional<IcsLayout> icsLayoutOf(std::string_view text);

}  // namespace velkor
