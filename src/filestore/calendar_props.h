// What the file store shows of a calendar besides its events: its title and colour, from the
// `displayname` and `color` files of a calendar directory, or from a single-file calendar's header.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "store/store.h"

namespace velkor {

// The first line of the directory's `displayname`, when there is one and it is not empty.
std::optional<std::string> displayName(const std::filesystem::path& dir);

// The first line of the directory's `color` file as a colour.
std::optional<SrgbComponents> colorFile(const std::filesystem::path& dir);

struct CalendarHeader {
  std::optional<std::string> name;   // X-WR-CALNAME
  std::optional<std::string> color;  // X-APPLE-CALENDAR-COLOR
};

// The calendar's own name and colour properties. Only the part before the first event is read:
// exporters write calendar properties first, and the rest of the file is the search's business.
CalendarHeader readHeader(const std::filesystem::path& file);

}  // namespace velkor
