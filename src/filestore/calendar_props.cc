#include "filestore/calendar_props.h"

#include <string_view>

#include "base/content_lines.h"
#include "filestore/files.h"
#include "ical/ics_text.h"
#include "store/color_text.h"

namespace velkor {

// The first line of the directory's `displayname`, when there is one and it is not empty.
std::optional<std::string> displayName(const std::filesystem::path& dir) {
  std::optional<std::string> line = firstLine(dir / "displayname");
  if (!line || line->empty()) return std::nullopt;
  return line;
}

std::optional<SrgbComponents> colorFile(const std::filesystem::path& dir) {
  const std::optional<std::string> line = firstLine(dir / "color");
  if (!line) return std::nullopt;
  return parseColor(*line);
}

// The calendar's own name and colour properties. Only the part before the first event is read:
// exporters write calendar properties first, and the rest of the file is the search's business.
CalendarHeader readHeader(const std::filesystem::path& file) {
  CalendarHeader header;
  LineReader reader(openRegular(file));
  int depth = 0;
  std::string logical;
  bool haveLogical = false;
  bool firstPhysical = true;

  const auto settle = [&](std::string_view line) {  // false once the first event begins
    const std::string_view name = nameOf(line);
    const std::optional<std::string_view> value = valueOf(line);
    if (name.size() == line.size() || !value) return true;
    if (equalsUpper(name, "BEGIN")) {
      if (equalsUpper(*value, "VEVENT")) return false;
      ++depth;
    } else if (equalsUpper(name, "END")) {
      --depth;
    } else if (depth <= 1) {  // properties of VCALENDAR, not of a VTIMEZONE or other component
      if (!header.name && equalsUpper(name, "X-WR-CALNAME")) {
        header.name = unescapeText(*value);
      } else if (!header.color && equalsUpper(name, "X-APPLE-CALENDAR-COLOR")) {
        header.color = unescapeText(*value);
      }
    }
    return true;
  };

  while (std::optional<std::string> physical = reader.next()) {
    const std::string_view line = firstPhysical ? withoutByteOrderMark(*physical) : *physical;
    firstPhysical = false;
    if (haveLogical && isContinuation(line)) {
      logical.append(line.substr(1));  // a folded continuation
      continue;
    }
    if (haveLogical && !settle(logical)) return header;
    logical.assign(line);
    haveLogical = true;
  }
  if (haveLogical) settle(logical);
  return header;
}

}  // namespace velkor
