#include "ical/ics_events.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "base/content_lines.h"
#include "base/two_halves.h"
#include "ical/blocks.h"
#include "ical/parse.h"

namespace velkor {
namespace {

// Appends the events of `text` parsed whole; false when libical found no calendar in it.
bool appendParsed(const std::string& text, std::uint32_t calendar, const IcsQuery& query,
                  ZoneCache& zones, EventList& out) {
  std::vector<std::string_view> blocks;
  std::vector<std::string> rawTexts;
  std::vector<std::string_view> texts;
  const std::string rest = withTextTokens(withoutZoneBlocks(text, blocks), rawTexts, texts);
  const ComponentPtr root = parseCalendarText(rest);
  if (!root) return false;
  std::vector<icalcomponent*> events;
  FileZones fileZones(zones);
  fileZones.calendarZone = headerZoneOf(text);
  for (std::string_view block : blocks) {
    const ZoneTable::Defined& d = fileZones.cache.fromBlock(block);
    if (!d.tzid.empty()) fileZones.definitions.push_back(Definition{d.tzid, &d.own, nullptr});
  }
  collect(root.get(), 0, events, fileZones);
  // The occurrences of one VEVENT follow each other: its texts are read once for all of them.
  icalcomponent* source = nullptr;
  std::optional<std::string> title, location;
  for (const UidEvents& unit : unitsOf(events)) {
    for (const Occurrence& o : occurrencesOf(unit, query, fileZones)) {
      if (o.source != source) {
        source = o.source;
        title = textOf(source, ICAL_SUMMARY_PROPERTY, texts);
        location = textOf(source, ICAL_LOCATION_PROPERTY, texts);
      }
      out.add(calendar, title, Instant(std::chrono::seconds(o.span.start)),
              Instant(std::chrono::seconds(o.span.end)), o.allDay, location);
    }
  }
  return true;
}

// Texts larger than this are parsed a batch of units at a time: a 200 MB calendar parsed whole
// took gigabytes.
constexpr std::size_t kLargeText = std::size_t{4} << 20;

void appendInBatches(std::string_view text, const IcsLayout& layout, std::uint32_t calendar,
                     const IcsQuery& query, ZoneCache& zones, EventList& out) {
  const BlockText inText = [text](const VeventBlock& b, std::string&) {
    return text.substr(b.begin, b.size());
  };
  appendUnits(layout, unitsToParse(layout, inText), inText, calendar, query, zones, out);
}

void appendBatches(const IcsLayout& layout, std::span<const UnitBlocks> units,
                   const BlockText& text, std::uint32_t calendar, const IcsQuery& query,
                   ZoneCache& zones, EventList& out) {
  std::vector<std::uint32_t> batch;
  std::size_t bytes = 0;
  std::string parsed, read;
  auto flush = [&] {
    if (batch.empty()) return;
    std::sort(batch.begin(), batch.end());
    parsed = layout.head;
    for (std::uint32_t i : batch) {
      parsed.append(text(layout.blocks[i], read));
      // The last line of a text cut short may have no line end.
      if (parsed.back() != '\n' && parsed.back() != '\r') parsed.append(layout.lineEnd);
    }
    parsed.append(layout.tail());
    appendParsed(parsed, calendar, query, zones, out);
    batch.clear();
    bytes = 0;
  };
  for (const UnitBlocks& unit : units) {
    if (bytes >= std::max(query.batchBytes, layout.head.size())) flush();
    for (std::uint32_t i : unit) bytes += layout.blocks[i].size();
    batch.insert(batch.end(), unit.begin(), unit.end());
  }
  flush();
}

// Less than this is parsed on one thread: a thread and a second set of zones cost more.
constexpr std::size_t kSharedBytes = std::size_t{256} << 10;

}  // namespace

void appendUnits(const IcsLayout& layout, const std::vector<UnitBlocks>& units,
                 const BlockText& text, std::uint32_t calendar, const IcsQuery& query,
                 ZoneCache& zones, EventList& out) {
  std::size_t total = 0;
  for (const UnitBlocks& unit : units) {
    for (std::uint32_t i : unit) total += layout.blocks[i].size();
  }
  // Two halves by size, the second on a thread of its own; concatenated they are the sequential
  // answer.
  std::size_t half = units.size(), bytes = 0;
  for (std::size_t u = 0; total >= kSharedBytes && u < units.size() && half == units.size(); ++u) {
    for (std::uint32_t i : units[u]) bytes += layout.blocks[i].size();
    if (bytes >= total / 2) half = u + 1;
  }
  const std::span<const UnitBlocks> all(units);
  EventList second;
  if (half == units.size() ||
      !runTwoHalves(
          [&] { appendBatches(layout, all.first(half), text, calendar, query, zones, out); },
          [&] {
            ZoneCache own;  // zones are not shared between threads
            appendBatches(layout, all.subspan(half), text, calendar, query, own, second);
          })) {
    appendBatches(layout, all, text, calendar, query, zones, out);
  }
  out.append(std::move(second));
}

void appendIcsEvents(const std::string& text, std::uint32_t calendar, const IcsQuery& query,
                     ZoneCache& zones, EventList& out) {
  // libical reads up to a NUL byte; so does the scan.
  const std::string_view read(text.c_str());
  if (read.size() > kLargeText) {
    if (const auto layout = icsLayoutOf(read)) {
      appendInBatches(read, *layout, calendar, query, zones, out);
      return;
    }
  }
  if (appendParsed(text, calendar, query, zones, out)) return;
  // libical gives nothing for a calendar cut short: its complete events are still there.
  if (const auto layout = icsLayoutOf(read); layout && layout->cutShort) {
    appendInBatches(read, *layout, calendar, query, zones, out);
  }
}

void addZoneNames(std::string_view text, std::set<std::string>& names) {
  ContentLines lines(text);
  while (const std::optional<ContentLine> line = lines.next()) {
    const std::string_view l = line->text;
    for (std::size_t at = l.find(";TZID="); at != std::string_view::npos;
         at = l.find(";TZID=", at + 1)) {
      std::size_t from = at + 6;
      std::size_t to = 0;
      if (from < l.size() && l[from] == '"') {
        to = l.find('"', ++from);
      } else {
        to = l.find_first_of(";:", from);
      }
      if (to != std::string_view::npos && to > from) names.emplace(l.substr(from, to - from));
    }
  }
}

}  // namespace velkor
