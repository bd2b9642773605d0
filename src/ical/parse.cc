#include "ical/parse.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "base/content_lines.h"
#include "ical/ics_text.h"

namespace velkor {
void collect(icalcomponent* c, int depth, std::vector<icalcomponent*>& events, FileZones& zones) {
  switch (icalcomponent_isa(c)) {
    case ICAL_VEVENT_COMPONENT:
      events.push_back(c);
      return;
    case ICAL_VTIMEZONE_COMPONENT:
      if (icalproperty* p = icalcomponent_get_first_property(c, ICAL_TZID_PROPERTY)) {
        if (const char* tzid = icalproperty_get_tzid(p)) {
          zones.definitions.push_back(Definition{tzid, nullptr, c});
        }
      }
      return;
    case ICAL_VCALENDAR_COMPONENT:
    case ICAL_XROOT_COMPONENT:
      if (depth > 1) return;
      for (icalproperty* p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY);
           p != nullptr && zones.calendarZone.empty();
           p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
        const char* name = icalproperty_get_x_name(p);
        // With VALUE=TEXT libical keeps a TEXT value, which icalproperty_get_x does not give.
        const char* value = icalproperty_get_value_as_string(p);
        if (name != nullptr && value != nullptr && equalsUpper(name, "X-WR-TIMEZONE")) {
          zones.calendarZone = value;
        }
      }
      for (icalcomponent* child = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT);
           child != nullptr; child = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT)) {
        collect(child, depth + 1, events, zones);
      }
      return;
    default:
      return;
  }
}

// Properties of the calendar itself are read from its lines before the first VEVENT, as its name
// is: libical turns a lower-case `x-wr-timezone` line into an error and keeps no value of it.
std::string headerZoneOf(std::string_view text) {
  int depth = 0;
  ContentLines lines(text, text.find('\n') == std::string_view::npos ? '\r' : '\n');
  while (const std::optional<ContentLine> line = lines.next()) {
    const std::string_view name = nameOf(line->text);
    const std::optional<std::string_view> value = valueOf(line->text);
    if (name.size() == line->text.size() || !value) continue;
    if (equalsUpper(name, "BEGIN")) {
      if (startsWithUpper(*value, "VEVENT")) break;
      ++depth;
    } else if (equalsUpper(name, "END")) {
      --depth;
    } else if (depth <= 1 && equalsUpper(name, "X-WR-TIMEZONE")) {
      return unescapeText(*value);
    }
  }
  return {};
}

namespace {

constexpr std::string_view kTextToken = "#velkor-text:";
}  // namespace

// The value of a SUMMARY or LOCATION as the file has it: libical trims blanks and control
// characters at both ends and drops empty values, so these two are handed to it as tokens that
// name the raw values kept aside (see withTextTokens).
std::optional<std::string> textOf(icalcomponent* c, icalproperty_kind kind,
                                  const std::vector<std::string_view>& texts) {
  icalproperty* p = icalcomponent_get_first_property(c, kind);
  if (p == nullptr) return std::nullopt;
  const char* text =
      kind == ICAL_SUMMARY_PROPERTY ? icalproperty_get_summary(p) : icalproperty_get_location(p);
  if (text == nullptr) return std::nullopt;
  const std::string_view value = text;
  if (value.substr(0, kTextToken.size()) == kTextToken) {
    std::size_t index = 0;
    bool digits = value.size() > kTextToken.size();
    for (char ch : value.substr(kTextToken.size())) {
      digits = digits && ch >= '0' && ch <= '9' && index < texts.size();
      if (digits) index = index * 10 + static_cast<std::size_t>(ch - '0');
    }
    if (digits && index < texts.size()) return unescapeText(texts[index]);
  }
  return std::string(value);
}

namespace {

bool isTextLine(std::string_view line) {
  for (std::string_view name : {std::string_view("SUMMARY"), std::string_view("LOCATION")}) {
    if (line.size() <= name.size() || (line[name.size()] != ':' && line[name.size()] != ';'))
      continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      same = (line[i] & ~0x20) == name[i];
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

// Replaces the value of every SUMMARY and LOCATION line (unfolded) by a token naming its raw value,
// which goes to `texts`; the other lines stay as they are. The raw values are kept in `storage`.
std::string withTextTokens(std::string_view text, std::vector<std::string>& storage,
                           std::vector<std::string_view>& texts) {
  std::string out;
  out.reserve(text.size());
  ContentLines lines(text);
  if (text.starts_with(kByteOrderMark)) out.append(kByteOrderMark);
  while (const std::optional<ContentLine> line = lines.next()) {
    const std::string_view whole = text.substr(line->begin, line->end - line->begin);
    const std::string_view logical = line->text;
    if (!isTextLine(logical)) {
      out.append(whole);
      continue;
    }
    bool quoted = false;
    std::size_t colon = 0;
    while (colon < logical.size() && (logical[colon] != ':' || quoted)) {
      if (logical[colon] == '"') quoted = !quoted;
      ++colon;
    }
    if (colon == logical.size()) {
      out.append(whole);
    } else {
      storage.emplace_back(logical.substr(colon + 1));
      out.append(logical.substr(0, colon + 1))
          .append(kTextToken)
          .append(std::to_string(storage.size() - 1))
          .append("\r\n");
    }
  }
  texts.assign(storage.begin(), storage.end());
  return out;
}

// One unit per UID, where its first master stands, or with no master where its first override
// stands; of several masters the one that supersedes the others stands alone (its EXDATE and
// RDATE alone count). Events without UID are units of their own.
std::vector<UidEvents> unitsOf(const std::vector<icalcomponent*>& events) {
  std::vector<bool> isOverride(events.size());
  std::unordered_map<std::string_view, std::size_t> anchor;  // UID -> first master, or override
  for (std::size_t i = 0; i < events.size(); ++i) {
    isOverride[i] =
        icalcomponent_get_first_property(events[i], ICAL_RECURRENCEID_PROPERTY) != nullptr;
    const char* uid = icalcomponent_get_uid(events[i]);
    if (uid == nullptr) continue;
    const auto [it, added] = anchor.try_emplace(uid, i);
    if (!added && isOverride[it->second] && !isOverride[i]) it->second = i;
  }
  std::vector<UidEvents> units;
  std::unordered_map<std::string_view, std::size_t> unitOf;  // UID -> index into units
  for (std::size_t i = 0; i < events.size(); ++i) {
    const char* uid = icalcomponent_get_uid(events[i]);
    if (uid == nullptr) {
      units.push_back(isOverride[i] ? UidEvents{nullptr, {events[i]}} : UidEvents{events[i], {}});
    } else if (anchor.at(uid) == i) {
      unitOf.emplace(uid, units.size());
      units.emplace_back();
    }
  }
  for (std::size_t i = 0; i < events.size(); ++i) {
    const char* uid = icalcomponent_get_uid(events[i]);
    if (uid == nullptr) continue;
    UidEvents& unit = units[unitOf.at(uid)];
    if (isOverride[i]) {
      unit.overrides.push_back(events[i]);
    } else if (unit.master == nullptr || supersedes(events[i], unit.master)) {
      unit.master = events[i];
    }
  }
  // The units of one UID stand together where its first one stands, as a calendar read in parts
  // keeps every VEVENT of a UID in the same part.
  std::unordered_map<std::string_view, std::size_t> firstOf;  // UID -> its first unit
  std::vector<std::pair<std::size_t, std::size_t>> order;     // (first unit of its UID, unit)
  for (std::size_t u = 0; u < units.size(); ++u) {
    const char* uid =
        icalcomponent_get_uid(units[u].master ? units[u].master : units[u].overrides[0]);
    order.emplace_back(uid != nullptr ? firstOf.try_emplace(uid, u).first->second : u, u);
  }
  std::sort(order.begin(), order.end());
  std::vector<UidEvents> ordered;
  ordered.reserve(units.size());
  for (const auto& [first, u] : order) ordered.push_back(std::move(units[u]));
  return ordered;
}

namespace {

bool aloneOnLine(std::string_view text, std::size_t pos, std::size_t length) {
  const std::size_t after = pos + length;
  return (pos == 0 || text[pos - 1] == '\n') &&
         (after == text.size() || text[after] == '\r' || text[after] == '\n');
}

}  // namespace

// Cuts the VTIMEZONE blocks out of `text`, adding them to `blocks`, and returns the rest. Parsing a
// zone costs more than the event beside it, and a store repeats the same few zones in every file:
// each distinct block is parsed once per run instead. Only blocks whose BEGIN and END lines are
// written plainly are cut; any other spelling stays for libical.
std::string withoutZoneBlocks(std::string_view text, std::vector<std::string_view>& blocks) {
  static constexpr std::string_view kBegin = "BEGIN:VTIMEZONE", kEnd = "END:VTIMEZONE";
  std::string rest;
  std::size_t copied = 0, from = 0;
  while (true) {
    const std::size_t begin = text.find(kBegin, from);
    if (begin == std::string_view::npos) break;
    from = begin + kBegin.size();
    if (!aloneOnLine(text, begin, kBegin.size())) continue;
    std::size_t end = text.find(kEnd, from);
    while (end != std::string_view::npos && !aloneOnLine(text, end, kEnd.size())) {
      end = text.find(kEnd, end + kEnd.size());
    }
    if (end == std::string_view::npos) break;
    std::size_t next = end + kEnd.size();
    if (next < text.size() && text[next] == '\r') ++next;
    if (next < text.size() && text[next] == '\n') ++next;
    blocks.push_back(text.substr(begin, next - begin));
    rest.append(text.substr(copied, begin - copied));
    copied = from = next;
  }
  if (copied == 0) return std::string(text);
  rest.append(text.substr(copied));
  return rest;
}

namespace {

// libical's own string reader searches for the next line end from the current position for every
// 80-byte piece it hands to the parser, so a long line, or a file whose lines end in CR alone,
// costs time in the square of its length (a 16 MB line took over a minute). This reader hands out
// the same pieces and remembers where the line ends. Unlike libical's, it does not turn the last
// byte of a cut piece into a line feed when the line ends in CR alone, so such lines stay whole.
struct ParserInput {
  const char* pos;
  const char* end;
  const char* lf = nullptr;  // the first LF at or after `pos`, or `end` when there is none
  const char* cr = nullptr;  // likewise for CR
};

const char* nextOf(ParserInput& r, const char*& cached, char c) {
  if (cached == nullptr || (cached < r.pos && cached != r.end)) {
    const void* hit = std::memchr(r.pos, c, static_cast<std::size_t>(r.end - r.pos));
    cached = hit != nullptr ? static_cast<const char*>(hit) : r.end;
  }
  return cached;
}

char* nextPiece(char* out, std::size_t size, void* data) {
  ParserInput& r = *static_cast<ParserInput*>(data);
  if (r.pos == r.end || size < 2) return nullptr;
  std::size_t n = static_cast<std::size_t>(r.end - r.pos);
  bool crEnds = false;
  if (const char* lf = nextOf(r, r.lf, '\n'); lf != r.end) {
    n = static_cast<std::size_t>(lf + 1 - r.pos);
  } else if (const char* cr = nextOf(r, r.cr, '\r'); cr != r.end) {
    n = static_cast<std::size_t>(cr + 1 - r.pos);
    crEnds = true;
  }
  if (n > size - 1) {
    n = size - 1;
    crEnds = false;
  }
  std::memcpy(out, r.pos, n);
  if (crEnds) out[n - 1] = '\n';
  out[n] = '\0';
  r.pos += n;
  return out;
}

struct ParserFree {
  void operator()(icalparser* p) const { icalparser_free(p); }
};

}  // namespace

// What icalparser_parse_string gives for `text` (up to a NUL byte, a leading BOM skipped).
ComponentPtr parseCalendarText(const std::string& text) {
  ParserInput reader{text.c_str(), text.c_str() + std::strlen(text.c_str())};
  if (reader.end - reader.pos >= 3 && std::memcmp(reader.pos, "\xEF\xBB\xBF", 3) == 0) {
    reader.pos += 3;
  }
  const std::unique_ptr<icalparser, ParserFree> parser(icalparser_new());
  if (!parser) return nullptr;
  icalparser_set_gen_data(parser.get(), &reader);
  return ComponentPtr(icalparser_parse(parser.get(), nextPiece));
}

}  // namespace velkor
