#include "store/event_list.h"

#include <algorithm>
#include <functional>

#include "store/local_minute.h"
#include "store/text_order.h"

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

namespace {

// Positions are 32 bits wide, and a list holds up to twice its cap.
constexpr std::size_t kLargestCap = std::size_t{1} << 30;

// Every UTC offset of a zone (a POSIX TZ included) lies within 25 hours of UTC: two instants
// further apart than this have their local minutes in the same order.
constexpr auto kOffsetSpread = std::chrono::days(3);

}  // namespace

EventList::EventList(std::size_t cap) : cap_(std::clamp<std::size_t>(cap, 1, kLargestCap)) {}

bool EventList::beforeCut(Instant start, std::string_view title) const {
  if (!cut_) return true;
  if (start < cut_->start - kOffsetSpread) return true;
  if (start > cut_->start + kOffsetSpread) return false;
  const std::uint64_t minute = localMinute(start);
  if (minute != cut_->minute) return minute < cut_->minute;
  // At the cut's own place an event comes after the one that stands there: it was added later.
  return textKey(title) < cut_->title;
}

bool EventList::push(const Entry& e) {
  entries_.push_back(e);
  if (entries_.size() < 2 * cap_) return false;
  cut();
  return true;
}

void EventList::add(std::uint32_t calendar, std::optional<std::string_view> title, Instant start,
                    Instant end, bool allDay, std::optional<std::string_view> location) {
  // The answer shows no difference between a missing title and an empty one, nor between a
  // missing location and an empty one.
  const std::string_view titleValue = title.value_or(std::string_view());
  if (!beforeCut(start, titleValue)) return;
  const std::uint32_t titleText = texts_.intern(titleValue);
  const std::uint32_t locationText =
      location && !location->empty() ? texts_.intern(*location) : kNoText;
  push(Entry{start, end, calendar, titleText, locationText, allDay});
}

void EventList::append(EventList&& other) {
  std::vector<std::uint32_t> mine(other.texts_.size(), kNoText);
  auto moved = [&](std::uint32_t text) {
    if (text == kNoText) return kNoText;
    if (mine[text] == kNoText) mine[text] = texts_.intern(other.texts_[text]);
    return mine[text];
  };
  while (!other.entries_.empty()) {
    Entry e = other.entries_.front();
    other.entries_.pop_front();
    if (!beforeCut(e.start, other.texts_[e.title])) continue;
    e.title = moved(e.title);
    e.location = moved(e.location);
    // A cut makes a new pool of texts.
    if (push(e)) std::fill(mine.begin(), mine.end(), kNoText);
  }
  other = EventList(other.cap_);
}

std::vector<std::uint32_t> EventList::titleRanks() const {
  std::vector<bool> used(texts_.size(), false);
  for (const Entry& e : entries_) used[e.title] = true;
  return ranks(used);
}

std::vector<std::uint32_t> EventList::ranks(const std::vector<bool>& used) const {
  std::vector<std::uint32_t> rank(texts_.size(), 0);
  std::vector<std::pair<std::string, std::uint32_t>> keys;
  for (std::uint32_t t = 0; t < used.size(); ++t) {
    if (used[t]) keys.emplace_back(textKey(texts_[t]), t);
  }
  std::sort(keys.begin(), keys.end());
  std::uint32_t next = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i > 0 && keys[i].first != keys[i - 1].first) ++next;
    rank[keys[i].second] = next;
  }
  return rank;
}

void EventList::cut() {
  if (entries_.size() <= cap_) return;
  std::vector<bool> keep(entries_.size(), false);
  std::size_t kept = 0;
  std::vector<std::uint32_t> near;  // the positions of events that may fall on either side
  {
    // Local minutes follow instants except within kOffsetSpread, and a local minute costs a
    // zone lookup: only the events near the cap-th start by instant need one.
    std::vector<Instant> starts;
    starts.reserve(entries_.size());
    for (const Entry& e : entries_) starts.push_back(e.start);
    const auto nth = starts.begin() + static_cast<std::ptrdiff_t>(cap_ - 1);
    std::nth_element(starts.begin(), nth, starts.end());
    const Instant middle = *nth;
    starts = {};
    // Fewer than `cap` events start before `middle`, so every event more than the spread before
    // it is kept; at least `cap` start at or before it, so every event more than the spread
    // after it is not.
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      const Instant start = entries_[i].start;
      if (start < middle - kOffsetSpread) {
        keep[i] = true;
        ++kept;
      } else if (start <= middle + kOffsetSpread) {
        near.push_back(static_cast<std::uint32_t>(i));
      }
    }
  }
  struct Place {
    std::uint64_t minute;
    std::uint32_t title;  // rank
    std::uint32_t position;
    bool operator<(const Place& o) const {
      if (minute != o.minute) return minute < o.minute;
      if (title != o.title) return title < o.title;
      return position < o.position;
    }
  };
  std::vector<bool> used(texts_.size(), false);
  for (std::uint32_t i : near) used[entries_[i].title] = true;
  const std::vector<std::uint32_t> rank = ranks(used);
  std::vector<Place> order;
  order.reserve(near.size());
  for (std::uint32_t i : near) {
    order.push_back(Place{localMinute(entries_[i].start), rank[entries_[i].title], i});
  }
  near = {};
  const auto boundary = order.begin() + static_cast<std::ptrdiff_t>(cap_ - kept - 1);
  std::nth_element(order.begin(), boundary, order.end());
  const Entry& last = entries_[boundary->position];
  cut_ = Cut{last.start, boundary->minute, textKey(texts_[last.title])};
  for (auto it = order.begin(); it <= boundary; ++it) keep[it->position] = true;
  order = {};

  // The kept entries move to the front in their order, with a pool of only their texts: what was
  // cut leaves no trace in memory.
  TextPool texts;
  std::vector<std::uint32_t> mine(texts_.size(), kNoText);
  auto moved = [&](std::uint32_t text) {
    if (text == kNoText) return kNoText;
    if (mine[text] == kNoText) mine[text] = texts.intern(texts_[text]);
    return mine[text];
  };
  std::size_t to = 0;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!keep[i]) continue;
    Entry e = entries_[i];
    e.title = moved(e.title);
    e.location = moved(e.location);
    entries_[to++] = e;
  }
  entries_.resize(to);
  texts_ = std::move(texts);
}

void EventList::renumberCalendars(const std::vector<std::uint32_t>& to) {
  for (Entry& e : entries_) e.calendar = to[e.calendar];
}

}  // namespace velkor
