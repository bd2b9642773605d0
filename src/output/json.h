// The result line: compact JSON, members in key order, every "/" escaped, one line feed.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "output/records.h"

namespace velkor {

// Appends `text` as a JSON string. Invalid UTF-8 sequences become U+FFFD so the line stays valid.
void appendJsonString(std::string& out, std::string_view text);

std::string toJson(const Status& status);
std::string toJson(const std::vector<CalendarOut>& calendars);
std::string toJson(const std::vector<EventOut>& events);

// Writes the value as one line in a single write. The only writer of standard output.
template <typename Value>
void emit(std::ostream& out, const Value& value) {
  std::string line = toJson(value);
  line.push_back('\n');
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

}  // namespace velkor
