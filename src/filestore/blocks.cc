#include "filestore/blocks.h"

#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>

#include "filestore/ics_text.h"

namespace velkor {
namespace {

using Offset = std::uint32_t;

// The calendar's own lines are repeated in every batch: a header larger than this is not worth it.
constexpr std::size_t kLargestHead = 1 << 20;

// A UID libical gives back exactly as written: no escapes to undo, nothing to trim.
bool plainUid(std::string_view uid) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20 || c == 0x7f; };
  return !uid.empty() && !blank(uid.front()) && !blank(uid.back()) &&
         uid.find('\\') == std::string_view::npos;
}

struct Found {
  Offset begin = 0, end = 0;
  Offset uidAt = 0, uidSize = 0;  // into the text, or into `unfoldedUids` when `uidUnfolded`
  bool hasUid = false, uidUnfolded = false, isOverride = false;
};

// Reads physical lines the way the parser does: at LF (a CR before it dropped), or at CR when the
// text has no LF at all.
struct Lines {
  std::string_view text;
  char end;
  std::size_t pos = 0;

  // The next physical line without its end; `next` is where the following one starts.
  std::string_view line(std::size_t at, std::size_t& next) const {
    std::size_t stop = text.find(end, at);
    next = stop == std::string_view::npos ? text.size() : stop + 1;
    if (stop == std::string_view::npos) stop = text.size();
    std::string_view l = text.substr(at, stop - at);
    if (end == '\n' && !l.empty() && l.back() == '\r') l.remove_suffix(1);
    return l;
  }
};

}  // namespace

std::optional<IcsLayout> icsLayoutOf(std::string_view text) {
  if (text.size() >= std::numeric_limits<Offset>::max()) return std::nullopt;
  const bool crOnly = text.find('\n') == std::string_view::npos;
  if (!crOnly) {
    for (std::size_t cr = text.find('\r'); cr != std::string_view::npos;
         cr = text.find('\r', cr + 1)) {
      if (cr + 1 == text.size() || text[cr + 1] != '\n') return std::nullopt;
    }
  }
  Lines lines{text, crOnly ? '\r' : '\n'};
  std::size_t pos = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;

  IcsLayout layout;
  std::vector<Found> found;
  std::string unfoldedUids;
  std::vector<std::string_view> open;  // the components around the current line, outermost first
  std::size_t componentBegin = 0;      // where the open top-level component starts
  std::string unfolded;
  bool ended = false;
  while (pos < text.size()) {
    const std::size_t lineBegin = pos;
    std::size_t next = 0;
    std::string_view line = lines.line(pos, next);
    pos = next;
    bool wasFolded = false;
    if (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
      unfolded.assign(line);
      while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        unfolded.append(lines.line(pos, next).substr(1));
        pos = next;
      }
      line = unfolded;
      wasFolded = true;
    }
    const std::string_view name = nameOf(line);
    const bool begin = equalsUpper(name, "BEGIN"), end = equalsUpper(name, "END");
    if (open.empty()) {
      // Only BEGIN:VCALENDAR may open the text.
      if (line != "BEGIN:VCALENDAR" || wasFolded || pos == lineBegin + line.size()) {
        return std::nullopt;
      }
      layout.lineEnd =
          std::string(text.substr(lineBegin + line.size(), pos - lineBegin - line.size()));
      layout.head.assign(line).append(layout.lineEnd);
      open.push_back(text.substr(lineBegin, line.size()).substr(6));
      continue;
    }
    if (begin || end) {
      if (wasFolded) return std::nullopt;
      const std::string_view prefix = begin ? "BEGIN:" : "END:";
      if (line.substr(0, prefix.size()) != prefix || line.size() == prefix.size()) {
        return std::nullopt;
      }
      const std::string_view component =
          text.substr(lineBegin + prefix.size(), line.size() - prefix.size());
      if (begin) {
        if (component == "VCALENDAR") return std::nullopt;
        if (open.size() > 1 && (component == "VTIMEZONE" || component == "VEVENT")) {
          return std::nullopt;
        }
        if (open.size() == 1) {
          componentBegin = lineBegin;
          if (component == "VEVENT") found.push_back(Found{});
        }
        open.push_back(component);
        continue;
      }
      if (open.back() != component) return std::nullopt;
      open.pop_back();
      if (open.empty()) {
        ended = true;
        break;
      }
      if (open.size() == 1 && component == "VEVENT") {
        found.back().begin = static_cast<Offset>(componentBegin);
        found.back().end = static_cast<Offset>(pos);
      } else if (open.size() == 1 && component == "VTIMEZONE") {
        layout.head.append(text.substr(componentBegin, pos - componentBegin));
        if (pos == text.size() && text.back() != lines.end) layout.head.append(layout.lineEnd);
      }
      continue;
    }
    if (open.size() == 1) {
      layout.head.append(text.substr(lineBegin, pos - lineBegin));
      if (pos == text.size() && text.back() != lines.end) layout.head.append(layout.lineEnd);
    } else if (open.size() == 2 && open.back() == "VEVENT") {
      Found& f = found.back();
      if (equalsUpper(name, "RECURRENCE-ID")) f.isOverride = true;
      if (equalsUpper(name, "UID") && !f.hasUid) {
        const auto value = valueOf(line);
        if (!value || !plainUid(*value)) return std::nullopt;
        f.hasUid = true;
        f.uidSize = static_cast<Offset>(value->size());
        if (wasFolded) {
          f.uidUnfolded = true;
          f.uidAt = static_cast<Offset>(unfoldedUids.size());
          unfoldedUids.append(*value);
        } else {
          f.uidAt = static_cast<Offset>(value->data() - text.data());
        }
      }
    }
    if (layout.head.size() > kLargestHead) return std::nullopt;
  }
  if (open.empty() && !ended) return std::nullopt;  // no calendar at all
  if (ended) {
    // Nothing but line ends may follow the calendar.
    if (text.substr(pos).find_first_not_of("\r\n") != std::string_view::npos) return std::nullopt;
  } else {
    layout.cutShort = true;
    // A block still open where the text stops is left out.
    if (open.size() > 1 && open[1] == "VEVENT") found.pop_back();
  }
  layout.tail = "END:VCALENDAR" + layout.lineEnd;

  // Units, grouped as the event search groups parsed events: every VEVENT of a UID stands with
  // the first master of that UID, or, with no master, with its first override.
  auto uidOf = [&](const Found& f) {
    return f.uidUnfolded ? std::string_view(unfoldedUids).substr(f.uidAt, f.uidSize)
                         : text.substr(f.uidAt, f.uidSize);
  };
  std::unordered_map<std::string_view, std::size_t> anchorOf;
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!found[i].hasUid) continue;
    const auto [it, added] = anchorOf.try_emplace(uidOf(found[i]), i);
    if (!added && found[it->second].isOverride && !found[i].isOverride) it->second = i;
  }
  std::unordered_map<std::size_t, std::vector<std::size_t>> attached;  // anchor -> the others
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!found[i].hasUid) continue;
    const std::size_t anchor = anchorOf.at(uidOf(found[i]));
    if (anchor != i) attached[anchor].push_back(i);
  }
  layout.blocks.reserve(found.size());
  layout.unitStarts.reserve(found.size());
  auto add = [&](std::size_t i, bool starts) {
    layout.blocks.push_back(IcsLayout::Block{found[i].begin, found[i].end});
    layout.unitStarts.push_back(starts);
  };
  for (std::size_t i = 0; i < found.size(); ++i) {
    if (!found[i].hasUid) {
      add(i, true);
    } else if (anchorOf.at(uidOf(found[i])) == i) {
      add(i, true);
      if (const auto a = attached.find(i); a != attached.end()) {
        for (std::size_t o : a->second) add(o, false);
      }
    }
  }
  return layout;
}

}  // namespace velkor
