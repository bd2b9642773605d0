// The events a store found, held compactly: an answer of half a million occurrences costs a few
// tens of bytes each, because a calendar is an index and every distinct text is kept once
// (the occurrences of a recurring event share their title and location).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/instant.h"

namespace velkor {

// Distinct texts, each stored once and named by its index.
class TextPool {
 public:
  // The index of `text`, added when it is new.
  std::uint32_t intern(std::string_view text);
  std::string_view operator[](std::uint32_t index) const {
    return std::string_view(chars_).substr(begins_[index], begins_[index + 1] - begins_[index]);
  }
  std::size_t size() const { return begins_.size() - 1; }

 private:
  void grow();

  std::string chars_;                   // every text, one after the other
  std::vector<std::size_t> begins_{0};  // text i is chars_[begins_[i], begins_[i + 1])
  std::vector<std::uint32_t> slots_;    // open addressing: 0 empty, else index + 1
};

class EventList {
 public:
  static constexpr std::uint32_t kNoText = UINT32_MAX;

  struct Entry {
    Instant start;
    Instant end;
    std::uint32_t calendar;  // index into the calendars the store was asked about
    std::uint32_t title;     // a text of the list; a missing title is the empty text
    std::uint32_t location;  // a text of the list, or kNoText when missing or empty
    bool allDay;
  };

  // One found event, as the store has its values.
  void add(std::uint32_t calendar, std::optional<std::string_view> title, Instant start,
           Instant end, bool allDay, std::optional<std::string_view> location);

  // Moves the events of `other` behind these, until this list holds `limit`; `other` is left
  // empty. Its entries are released as they move, so that the two never both hold an answer.
  void append(EventList&& other, std::size_t limit);

  // Drops every event after the first `count`.
  void keepFirst(std::size_t count) {
    if (entries_.size() > count) entries_.resize(count);
  }

  // Calendar i becomes calendar to[i].
  void renumberCalendars(const std::vector<std::uint32_t>& to);

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  std::string_view text(std::uint32_t index) const { return texts_[index]; }
  std::size_t textCount() const { return texts_.size(); }

 private:
  TextPool texts_;
  // A deque grows without moving what it holds: no second copy of the answer while it grows.
  std::deque<Entry> entries_;
};

}  // namespace velkor
