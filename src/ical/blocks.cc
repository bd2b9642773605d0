#include "ical/blocks.h"

#include <functional>
#include <limits>

#include "base/content_lines.h"
#include "ical/ics_text.h"

namespace velkor {
namespace {

constexpr std::size_t kLargestHead = IcsLayout::kLargestHead;

// A UID libical gives back exactly as written: no escapes to undo, nothing to trim.
bool plainUid(std::string_view uid) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f; };
  return !uid.empty() && !blank(uid.front()) && !blank(uid.back()) &&
         uid.find('\\') == std::string_view::npos;
}

}  // namespace

LayoutBuilder::LayoutBuilder(char lineEnd, std::optional<DayRange> window, std::size_t sizeHint)
    : end_(lineEnd), window_(window) {
  // The smallest block is about 24 bytes: reserving address space costs no memory until used.
  layout_.blocks.reserve(sizeHint / 24 + 1);
}

bool LayoutBuilder::add(std::string_view raw, std::uint64_t offset) {
  if (refused_) return false;
  if (offset + raw.size() > VeventBlock::kSizeMask) return !(refused_ = true);
  // A CR alone ends a line for libical, not for this reader.
  if (end_ == '\n') {
    std::string_view text = raw;
    if (!text.empty() && text.back() == '\n') text = withoutLineEnd(text, '\n');
    if (text.find('\r') != std::string_view::npos) return !(refused_ = true);
  }
  if (skipping_ && isContinuation(raw)) return true;
  skipping_ = false;
  if (pending_ && isContinuation(raw)) {
    rawSize_ += raw.size();
    raw_.append(raw);
    line_.append(withoutLineEnd(raw, end_).substr(1));
    folded_ = true;
    return true;
  }
  if (pending_ && !process()) return !(refused_ = true);
  // Most lines of an event (descriptions, alarms' neighbours, attendees) matter to no reader
  // here: settled by their first letter, with their folded continuations.
  if (open_.size() == 2 && top_ == Top::kEvent && !raw.empty()) {
    const char c = upperAscii(raw[0]);
    if (c >= 'A' && c <= 'Z' && c != 'B' && c != 'E' && c != 'U' && c != 'D' && c != 'R') {
      skipping_ = true;
      return true;
    }
  }
  // A line neither the scan nor the layout reads changes nothing: skipped with its continuations.
  if (!keeps(withoutLineEnd(raw, end_))) {
    skipping_ = true;
    return true;
  }
  rawSize_ = raw.size();
  raw_.assign(raw);
  line_.assign(withoutLineEnd(raw, end_));
  lineAt_ = offset;
  pending_ = true;
  folded_ = false;
  return true;
}

bool LayoutBuilder::keeps(std::string_view first) const {
  // The calendar's own lines and its zones are repeated as written in every part.
  if (open_.size() <= 1 || top_ == Top::kZone) return true;
  const std::string_view name = nameOf(first);
  if (name.size() == first.size()) return true;  // the name may go on in the next line
  // Dispatch on the first letter: this runs for every line of every event.
  switch (upperAscii(name[0])) {
    case 'B':
      return equalsUpper(name, "BEGIN");
    case 'E':
      return equalsUpper(name, "END");
    case 'U':
      return open_.size() == 2 && top_ == Top::kEvent && equalsUpper(name, "UID");
    case 'D':
    case 'R':
      if (open_.size() > 2 || top_ != Top::kEvent) return false;
      for (std::string_view read :
           {"RECURRENCE-ID", "DTSTART", "DTEND", "DURATION", "RRULE", "RDATE"}) {
        if (equalsUpper(name, read)) return true;
      }
      return false;
    default:
      return false;
  }
}

bool LayoutBuilder::process() {
  pending_ = false;
  const std::string_view line = line_;
  const std::uint64_t next = lineAt_ + rawSize_;
  const bool terminated = !raw_.empty() && raw_.back() == end_;
  if (ended_) return line.empty() && !folded_;  // nothing but line ends may follow the calendar
  if (!started_) {
    // Only BEGIN:VCALENDAR may open the text.
    if (line != "BEGIN:VCALENDAR" || folded_ || !terminated) return false;
    started_ = true;
    layout_.lineEnd = raw_.substr(line.size());
    layout_.head = raw_;
    open_.emplace_back("VCALENDAR");
    return true;
  }
  const std::string_view name = nameOf(line);
  const bool begin = equalsUpper(name, "BEGIN"), end = equalsUpper(name, "END");
  const bool inZone = open_.size() > 1 && top_ == Top::kZone;
  if (inZone) {
    zone_.append(raw_);
    if (!terminated) zone_.append(layout_.lineEnd);
  }
  if (begin || end) {
    const std::string_view prefix = begin ? "BEGIN:" : "END:";
    if (folded_ || line.substr(0, prefix.size()) != prefix || line.size() == prefix.size()) {
      return false;
    }
    const std::string_view component = line.substr(prefix.size());
    // libical reads a component by the start of its name, in any case: only the exact names are
    // understood here.
    for (std::string_view known : {"VCALENDAR", "VTIMEZONE", "VEVENT"}) {
      if (startsWithUpper(component, known) && component != known) return false;
    }
    if (begin) {
      if (component == "VCALENDAR") return false;
      if (open_.size() > 1 && (component == "VTIMEZONE" || component == "VEVENT")) return false;
      if (open_.size() == 1 && component == "VEVENT") {
        block_ = VeventBlock{0, static_cast<std::uint32_t>(lineAt_), 0};
        scan_ = EventScan{};
        hasRange_ = false;
      } else if (open_.size() == 1 && component == "VTIMEZONE") {
        zone_.assign(raw_);
        if (!terminated) zone_.append(layout_.lineEnd);
      }
      if (open_.size() == 1) {
        top_ = component == "VEVENT"      ? Top::kEvent
               : component == "VTIMEZONE" ? Top::kZone
                                          : Top::kOther;
      }
      open_.emplace_back(component);
      return true;
    }
    if (open_.back() != component) return false;
    open_.pop_back();
    if (open_.empty()) {
      ended_ = true;
    } else if (open_.size() == 1 && component == "VEVENT") {
      finishBlock(next);
    } else if (open_.size() == 1 && component == "VTIMEZONE") {
      layout_.head.append(zone_);
    }
    return layout_.head.size() <= kLargestHead;
  }
  if (open_.size() == 1) {
    layout_.head.append(raw_);
    if (!terminated) layout_.head.append(layout_.lineEnd);
  } else if (open_.size() == 2 && top_ == Top::kEvent) {
    if (equalsUpper(name, "RECURRENCE-ID")) {
      block_.sizeAndFlags |= VeventBlock::kOverride;
      hasRange_ = hasRange_ || hasRangeParameter(line);
    } else if (equalsUpper(name, "UID") && !block_.has(VeventBlock::kHasUid)) {
      const auto value = valueOf(line);
      if (!value || !plainUid(*value)) return false;
      block_.sizeAndFlags |= VeventBlock::kHasUid;
      block_.uidHash = std::hash<std::string_view>{}(*value);
    } else {
      scan_.note(line);
    }
  }
  return layout_.head.size() <= kLargestHead;
}

void LayoutBuilder::finishBlock(std::uint64_t end) {
  block_.sizeAndFlags |= static_cast<std::uint32_t>(end - block_.begin);
  if (!window_ || hasRange_ || scan_.mayReach(window_->first, window_->last)) {
    block_.sizeAndFlags |= VeventBlock::kWanted;
  }
  layout_.blocks.push_back(block_);
}

std::optional<IcsLayout> LayoutBuilder::finish() {
  if (refused_ || (pending_ && !process()) || !started_) return std::nullopt;
  // A component still open where the text stops is left out.
  layout_.cutShort = !ended_;
  return std::move(layout_);
}

void LayoutBuilder::startInside(std::string_view lineEnd) {
  started_ = true;
  layout_.lineEnd = lineEnd;
  open_.assign(1, "VCALENDAR");
}

std::optional<IcsLayout> LayoutBuilder::finishAtTop() {
  if (refused_ || (pending_ && !process()) || !started_ || ended_ || open_.size() != 1) {
    return std::nullopt;
  }
  return std::move(layout_);
}

std::optional<IcsLayout> icsLayoutOf(std::string_view text) {
  text = text.substr(0, std::min(text.find('\0'), text.size()));
  const std::size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  const char end = text.find('\n') == std::string_view::npos ? '\r' : '\n';
  LayoutBuilder builder(end, std::nullopt, text.size());
  for (std::size_t pos = start; pos < text.size();) {
    const std::size_t stop = std::min(text.find(end, pos), text.size() - 1) + 1;
    if (!builder.add(text.substr(pos, stop - pos), pos)) return std::nullopt;
    pos = stop;
  }
  return builder.finish();
}

std::string_view uidOfBlock(std::string_view block, std::string& storage) {
  const char end = block.find('\n') == std::string_view::npos ? '\r' : '\n';
  int depth = 0;
  ContentLines lines(block, end);
  while (const std::optional<ContentLine> line = lines.next()) {
    storage.assign(line->text);
    const std::string_view name = nameOf(storage);
    if (name == "BEGIN") ++depth;
    if (name == "END") --depth;
    if (depth == 1 && equalsUpper(name, "UID")) {
      if (const auto value = valueOf(storage)) return *value;
    }
  }
  return {};
}

}  // namespace velkor
