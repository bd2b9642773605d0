#include "filestore/calendar_props.h"

#include <string_view>

#include "filestore/files.h"
#include "ical/ics_text.h"

namespace velkor {

// The first line of the directory's `displayname`, when there is one and it is not empty.
std::optional<std::string> displayName(const std::filesystem::path& dir) {
  std::optional<std::string> line = firstLine(dir / "displayname");
  if (!line || line->empty()) return std::nullopt;
  return line;
}

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<SrgbComponents> parseColor(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
  if ((text.size() != 7 && text.size() != 9) || text.front() != '#') return std::nullopt;
  SrgbComponents components;
  for (size_t i = 1; i < text.size(); i += 2) {
    const int high = hexDigit(text[i]);
    const int low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    components.push_back((high * 16 + low) / 255.0);
  }
  if (components.size() == 3) components.push_back(1.0);
  return components;
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
    std::string_view line = *physical;
    if (firstPhysical && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    firstPhysical = false;
    if (haveLogical && !line.empty() && (line.front() == ' ' || line.front() == '\t')) {
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
