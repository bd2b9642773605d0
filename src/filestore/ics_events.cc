#include "filestore/ics_events.h"

#include <string_view>

#include "filestore/blocks.h"
#include "filestore/parse.h"

namespace velkor {
namespace {

// Appends the events of `text` parsed whole; false when libical found no calendar in it.
bool appendParsed(const std::string& text, const std::string& calendarId, const IcsQuery& query,
                  ZoneCache& zones, std::vector<Event>& out) {
  std::vector<std::string_view> blocks;
  std::vector<std::string> rawTexts;
  std::vector<std::string_view> texts;
  const std::string rest = withTextTokens(withoutZoneBlocks(text, blocks), rawTexts, texts);
  const ComponentPtr root(parseCalendarText(rest));
  if (!root) return false;
  std::vector<icalcomponent*> events;
  FileZones fileZones(zones.impl());
  for (std::string_view block : blocks) {
    const ZoneCache::Impl::Defined& d = fileZones.cache.fromBlock(block);
    if (!d.tzid.empty()) fileZones.definitions.push_back(Definition{d.tzid, &d.own, nullptr});
  }
  collect(root.get(), 0, events, fileZones);
  for (const Unit& unit : unitsOf(events)) {
    for (const Occurrence& o : occurrencesOf(unit, query, fileZones)) {
      if (out.size() >= query.maxEvents) return true;
      Event e;
      e.calendarId = calendarId;
      e.title = textOf(o.source, ICAL_SUMMARY_PROPERTY, texts);
      e.location = textOf(o.source, ICAL_LOCATION_PROPERTY, texts);
      e.start = Instant(std::chrono::seconds(o.span.start));
      e.end = Instant(std::chrono::seconds(o.span.end));
      e.allDay = o.allDay;
      out.push_back(std::move(e));
    }
  }
  return true;
}

// Texts larger than this are parsed a batch of units at a time: a parsed event costs libical about
// ten times its text, so a 200 MB calendar parsed whole took gigabytes.
constexpr std::size_t kLargeText = std::size_t{4} << 20;
constexpr std::size_t kBatchText = std::size_t{2} << 20;

// Each batch is the calendar's header, some whole units and the calendar's end, parsed and freed
// before the next: the units come in the order the whole text would give them.
void appendInBatches(std::string_view text, const IcsLayout& layout, const std::string& calendarId,
                     const IcsQuery& query, ZoneCache& zones, std::vector<Event>& out) {
  std::string batch = layout.head;
  auto flush = [&] {
    if (batch.size() == layout.head.size()) return;
    batch.append(layout.tail);
    appendParsed(batch, calendarId, query, zones, out);
    batch.resize(layout.head.size());
  };
  for (std::size_t i = 0; i < layout.blocks.size() && out.size() < query.maxEvents; ++i) {
    if (layout.unitStarts[i] && batch.size() - layout.head.size() >= kBatchText) flush();
    const IcsLayout::Block& b = layout.blocks[i];
    batch.append(text.substr(b.begin, b.end - b.begin));
    // The last line of a text cut short may have no line end.
    if (batch.back() != '\n' && batch.back() != '\r') batch.append(layout.lineEnd);
  }
  if (out.size() < query.maxEvents) flush();
}

}  // namespace

void appendIcsEvents(const std::string& text, const std::string& calendarId, const IcsQuery& query,
                     ZoneCache& zones, std::vector<Event>& out) {
  if (out.size() >= query.maxEvents) return;
  // libical reads up to a NUL byte; so does the scan.
  const std::string_view read(text.c_str());
  if (read.size() > kLargeText) {
    if (const auto layout = icsLayoutOf(read)) {
      appendInBatches(read, *layout, calendarId, query, zones, out);
      return;
    }
  }
  if (appendParsed(text, calendarId, query, zones, out)) return;
  // libical gives nothing for a calendar cut short: its complete events are still there.
  if (const auto layout = icsLayoutOf(read); layout && layout->cutShort) {
    appendInBatches(read, *layout, calendarId, query, zones, out);
  }
}

}  // namespace velkor
