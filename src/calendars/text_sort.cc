#include "calendars/text_sort.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>

#include "store/text_order.h"

namespace velkor {
namespace {

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The first bytes of a key, big-endian and zero-padded, with its length capped just past them. Two
// keys compare like their (prefix, capped length) unless both are longer than the prefix and the
// prefixes are equal; only then do the texts themselves have to be read. Keeping the sort inside
// these small entries spares a cache miss per comparison on a large list.
template <size_t Words>
struct Prefix {
  std::array<uint64_t, Words> bytes{};
  uint32_t length = 0;
  static constexpr size_t kBytes = Words * 8;

  explicit Prefix(std::string_view key)
      : length(static_cast<uint32_t>(std::min(key.size(), kBytes + 1))) {
    for (size_t i = 0; i < kBytes && i < key.size(); ++i) {
      bytes[i / 8] |= uint64_t{static_cast<unsigned char>(key[i])} << (56 - 8 * (i % 8));
    }
  }
  bool isWhole() const { return length <= kBytes; }
};

constexpr int kReadTexts = 2;

// -1, 0 or 1 as the key of `a` is less than, equal to or greater than that of `b`, or kReadTexts
// when the prefixes cannot tell.
template <size_t Words>
int prefixOrder(const Prefix<Words>& a, const Prefix<Words>& b) {
  if (a.bytes != b.bytes) return a.bytes < b.bytes ? -1 : 1;
  if (a.length != b.length) return a.length < b.length ? -1 : 1;
  return a.isWhole() ? 0 : kReadTexts;
}

int textOrder(std::string_view a, std::string_view b) {
  const int c = a.compare(b);
  return (c > 0) - (c < 0);
}

struct SortEntry {
  Prefix<2> first;   // stamp texts fit in 16 bytes
  Prefix<2> second;  // and most titles tell apart within 16
  size_t position;
};

}  // namespace

std::vector<size_t> stableTextOrder(const std::vector<TextKeys>& keys) {
  // ASCII keys are their own NFC form and are compared in place; only the others are normalized,
  // once each, into a deque, whose growth never moves the texts the views point into.
  std::vector<TextKeys> sortKeys(keys);
  std::deque<std::string> normalized;
  for (TextKeys& record : sortKeys) {
    for (std::string_view& key : record) {
      if (isAscii(key)) continue;
      normalized.push_back(textKey(key));
      key = normalized.back();
    }
  }
  std::vector<SortEntry> entries;
  entries.reserve(sortKeys.size());
  for (size_t i = 0; i < sortKeys.size(); ++i) {
    entries.push_back(SortEntry{Prefix<2>(sortKeys[i][0]), Prefix<2>(sortKeys[i][1]), i});
  }
  // Byte order of UTF-8 is scalar-value order.
  std::stable_sort(entries.begin(), entries.end(),
                   [&sortKeys](const SortEntry& a, const SortEntry& b) {
                     int order = prefixOrder(a.first, b.first);
                     if (order == kReadTexts) {
                       order = textOrder(sortKeys[a.position][0], sortKeys[b.position][0]);
                     }
                     if (order != 0) return order < 0;
                     order = prefixOrder(a.second, b.second);
                     if (order == kReadTexts) {
                       order = textOrder(sortKeys[a.position][1], sortKeys[b.position][1]);
                     }
                     return order < 0;
                   });
  std::vector<size_t> order;
  order.reserve(entries.size());
  for (const SortEntry& e : entries) order.push_back(e.position);
  return order;
}

void sortCalendars(std::vector<CalendarOut>& calendars) {
  std::vector<TextKeys> keys;
  keys.reserve(calendars.size());
  for (const CalendarOut& c : calendars) keys.push_back({c.account(), c.title()});
  applyOrder(calendars, stableTextOrder(keys));
}

}  // namespace velkor
