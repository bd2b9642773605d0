// The layout of one iCalendar text found by a byte scan, line by line: its header and its
// top-level VEVENT blocks, each with its UID (hashed) and whether it may reach a window, so that a
// text can be parsed a few blocks at a time and the blocks far from the window not at all. The
// text may come whole or as a stream of lines (a file read in chunks).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ical/scan.h"

namespace velkor {

struct DayRange {
  std::int64_t first = 0;  // UTC day numbers, both included
  std::int64_t last = 0;
};

// One complete top-level VEVENT: where it stands and what decides whether it is parsed.
struct VeventBlock {
  static constexpr std::uint32_t kOverride = 1u << 31;  // it has a RECURRENCE-ID
  static constexpr std::uint32_t kHasUid = 1u << 30;
  static constexpr std::uint32_t kWanted = 1u << 29;  // may reach the window, or has a RANGE
  static constexpr std::uint32_t kSizeMask = kWanted - 1;

  std::uint64_t uidHash = 0;
  std::uint32_t begin = 0;  // offset into the text; the block ends after END:VEVENT's line end
  std::uint32_t sizeAndFlags = 0;

  std::uint32_t size() const { return sizeAndFlags & kSizeMask; }
  bool has(std::uint32_t flag) const { return (sizeAndFlags & flag) != 0; }
};

struct IcsLayout {
  // The calendar's own lines are repeated in every part: a header larger than this is refused.
  static constexpr std::size_t kLargestHead = std::size_t{1} << 20;
  // "BEGIN:VCALENDAR", the calendar's own property lines and its VTIMEZONE blocks, as written.
  std::string head;
  std::string lineEnd;              // the line end the text uses
  std::vector<VeventBlock> blocks;  // every complete top-level VEVENT, in text order
  // The text stops before END:VCALENDAR (cut short); blocks still open there are left out.
  bool cutShort = false;
  std::string tail() const { return "END:VCALENDAR" + lineEnd; }
};

// Builds the layout from the physical lines of a text, in order. It refuses (and the text must be
// parsed whole) anything not written plainly enough to be sure the blocks parsed apart give what
// the whole text parsed at once gives: BEGIN and END lines in capitals and unfolded, one
// VCALENDAR, no VTIMEZONE or VCALENDAR inside another component, UIDs without escapes or blanks
// at either end, no CR alone, nothing but line ends after END:VCALENDAR.
class LayoutBuilder {
 public:
  // Lines end at `lineEnd` ('\n', a CR before it dropped; or '\r' for a text without LF). Blocks
  // are wanted when they may reach `window`, all of them without one.
  LayoutBuilder(char lineEnd, std::optional<DayRange> window, std::size_t sizeHint);

  // The next physical line, its line end included (none at the end of the text), starting at
  // `offset`; false once the text is refused.
  bool add(std::string_view raw, std::uint64_t offset);
  // The layout once every line is in, or none.
  std::optional<IcsLayout> finish();

  // For a text read in two parts: the second part's builder starts at the top of the calendar
  // (its first line is a top-level BEGIN:VEVENT); the first part's must end there. Its layout
  // then holds the header lines and blocks of its part alone.
  void startInside(std::string_view lineEnd);
  std::optional<IcsLayout> finishAtTop();

 private:
  // Whether a logical line starting with `first` is kept whole: a VEVENT's lines that neither the
  // scan nor the layout reads (descriptions, alarms) are not copied.
  bool keeps(std::string_view first) const;
  bool process();  // the pending logical line
  void finishBlock(std::uint64_t end);

  char end_;
  std::optional<DayRange> window_;
  bool refused_ = false, started_ = false, ended_ = false;
  IcsLayout layout_;
  // The logical line being gathered: raw bytes and unfolded text, where it starts and its size.
  std::string raw_, line_;
  std::uint64_t lineAt_ = 0, rawSize_ = 0;
  bool pending_ = false, folded_ = false;
  bool skipping_ = false;          // the last line, and so its continuations, matter to no reader
  std::vector<std::string> open_;  // the components around the current line, outermost first
  enum class Top { kOther, kEvent, kZone } top_ = Top::kOther;  // open_[1], when there is one
  std::string zone_;   // the top-level VTIMEZONE being read, as written
  VeventBlock block_;  // the top-level VEVENT being read
  EventScan scan_;
  bool hasRange_ = false;
};

// The layout of a whole text (which ends at its first NUL byte, a leading BOM skipped), every
// block wanted; or none (see LayoutBuilder).
std::optional<IcsLayout> icsLayoutOf(std::string_view text);

// The UID of a VEVENT block as libical gives it (the first UID line of the event itself, unfolded),
// for a block the builder took.
std::string_view uidOfBlock(std::string_view block, std::string& storage);

}  // namespace velkor
