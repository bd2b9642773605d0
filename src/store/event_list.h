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

// A store answers at most this many events.
inline constexpr std::size_t kMaxStoreEvents = 500000;

// A list keeps its answer to the `cap` events that come first in the answer's order: by the
// local minute of the start (see localMinute), then by title in text order, then by the order
// they were added. What it drops can never come back: so the answer for the near future stays
// complete however many events a store finds, and the list never holds more than twice its cap.
class EventList {
 public:
  static constexpr std::uint32_t kNoText = UINT32_MAX;

  EventList() : EventList(kMaxStoreEvents) {}
  explicit EventList(std::size_t cap);

  struct Entry {
    Instant start;
    Instant end;
    std::uint32_t calendar;  // index into the calendars the store was asked about
    std::uint32_t title;     // a text of the list; a missing title is the empty text
    std::uint32_t location;  // a text of the list, or kNoText when missing or empty
    bool allDay;
  };

  // One found event, as the store has its values. Dropped when `cap` events added before it come
  // before it in the answer's order; when the list reaches twice its cap, it is cut to the cap.
  void add(std::uint32_t calendar, std::optional<std::string_view> title, Instant start,
           Instant end, bool allDay, std::optional<std::string_view> location);

  // Adds the events of `other` behind these, in their order; `other` is left empty. Its entries
  // are released as they move, so that the two never both hold an answer.
  void append(EventList&& other);

  // Keeps only the `cap` events that come first in the answer's order, in the order they were
  // added. Needs the time zone the answer is written in.
  void cut();

  // Calendar i becomes calendar to[i].
  void renumberCalendars(const std::vector<std::uint32_t>& to);

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  const Entry& operator[](std::size_t i) const { return entries_[i]; }
  std::string_view text(std::uint32_t index) const { return texts_[index]; }
  std::size_t textCount() const { return texts_.size(); }
  std::size_t cap() const { return cap_; }

  // For every text used as a title, its rank in text order (texts with the same key share a
  // rank); each text is normalized once, however many events carry it.
  std::vector<std::uint32_t> titleRanks() const;

 private:
  // Adds `e`; true when the list was cut for it.
  bool push(const Entry& e);
  bool beforeCut(Instant start, std::string_view title) const;
  // The rank in text order of every text marked `used`.
  std::vector<std::uint32_t> ranks(const std::vector<bool>& used) const;

  std::size_t cap_;
  // Where the last cut fell: nothing that comes at or after it in the answer's order is kept.
  struct Cut {
    Instant start;
    std::uint64_t minute;
    std::string title;  // its text-order key
  };
  std::optional<Cut> cut_;
  TextPool texts_;
  // A deque grows without moving what it holds: no second copy of the answer while it grows.
  std::deque<Entry> entries_;
};

}  // namespace velkor
