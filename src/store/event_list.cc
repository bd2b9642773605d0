#include "store/event_list.h"

#include <algorithm>
#include <functional>

namespace velkor {

std::uint32_t TextPool::intern(std::string_view text) {
  if (2 * (size() + 1) > slots_.size()) grow();
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = std::hash<std::string_view>{}(text)&mask;; slot = (slot + 1) & mask) {
    const std::uint32_t held = slots_[slot];
    if (held == 0) {
      const auto index = static_cast<std::uint32_t>(size());
      chars_.append(text);
      begins_.push_back(chars_.size());
      slots_[slot] = index + 1;
      return index;
    }
    if ((*this)[held - 1] == text) return held - 1;
  }
}

// Twice the slots (at least 64), every text placed again; at most half of them are ever taken.
void TextPool::grow() {
  std::vector<std::uint32_t> slots(std::max<std::size_t>(64, 2 * slots_.size()), 0);
  const std::size_t mask = slots.size() - 1;
  for (std::uint32_t i = 0; i < size(); ++i) {
    std::size_t slot = std::hash<std::string_view>{}((*this)[i]) & mask;
    while (slots[slot] != 0) slot = (slot + 1) & mask;
    slots[slot] = i + 1;
  }
  slots_ = std::move(slots);
}

void EventList::add(std::uint32_t calendar, std::optional<std::string_view> title, Instant start,
                    Instant end, bool allDay, std::optional<std::string_view> location) {
  // The answer shows no difference between a missing title and an empty one, nor between a
  // missing location and an empty one.
  const std::uint32_t titleText = texts_.intern(title.value_or(std::string_view()));
  const std::uint32_t locationText =
      location && !location->empty() ? texts_.intern(*location) : kNoText;
  entries_.push_back(Entry{start, end, calendar, titleText, locationText, allDay});
}

void EventList::append(EventList&& other, std::size_t limit) {
  std::vector<std::uint32_t> mine(other.texts_.size(), kNoText);
  auto moved = [&](std::uint32_t text) {
    if (text == kNoText) return kNoText;
    if (mine[text] == kNoText) mine[text] = texts_.intern(other.texts_[text]);
    return mine[text];
  };
  while (!other.entries_.empty() && entries_.size() < limit) {
    Entry e = other.entries_.front();
    other.entries_.pop_front();
    e.title = moved(e.title);
    e.location = moved(e.location);
    entries_.push_back(e);
  }
  other = EventList();
}

void EventList::renumberCalendars(const std::vector<std::uint32_t>& to) {
  for (Entry& e : entries_) e.calendar = to[e.calendar];
}

}  // namespace velkor
