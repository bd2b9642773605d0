// The result line: compact JSON, members in key order, every "/" escaped, one line feed.
#pragma once

#include <optional>
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

// Writes the value as one line in a single write. With EventArrayWriter, the only writers of
// standard output.
template <typename Value>
void emit(std::ostream& out, const Value& value) {
  std::string line = toJson(value);
  line.push_back('\n');
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

// The members of one event record, as texts.
struct EventFields {
  bool allDay = false;
  std::string_view calendar;
  std::string_view end;
  std::optional<std::string_view> location;  // left out when missing
  std::string_view start;
  std::string_view title;
};

// The result line of `events`, written as it goes: an array of any length costs a chunk of
// memory, not its whole text. The line is still all or nothing: once the first record is
// taken, nothing can fail before the end (records are texts and a flag, each escaped as it
// comes; only the chunk's growth allocates, as building the whole line would have).
class EventArrayWriter {
 public:
  // Output goes out in writes of about this many bytes.
  static constexpr std::size_t kChunk = std::size_t{64} << 10;

  explicit EventArrayWriter(std::ostream& out);
  void add(const EventFields& event);
  // Writes what is left with "]" and the line feed; call once, after the last record.
  void finish();

 private:
  void write();

  std::ostream& out_;
  std::string chunk_;
  bool first_ = true;
};

}  // namespace velkor
