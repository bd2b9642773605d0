// The result sort of `events` over a million events, the size of a long window over busy
// calendars with room to spare.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "events/event_sort.h"

namespace velkor {
namespace {

// A fixed-seed generator, so every run sorts the same records.
struct Lcg {
  uint64_t state = 0x9e3779b97f4a7c15u;
  uint32_t next() {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return static_cast<uint32_t>(state >> 33);
  }
};

// As a store answers them: the texts interned in the list, the start an instant that the sort
// reads on the local clock (the zone of the process: TZ).
EventList makeEvents(size_t count, int accentedPercent) {
  static const char* const kWords[] = {"Standup",  "review", "Lunch", "1:1",
                                       "Planning", "retro",  "Demo",  "sync"};
  static const char* const kAccented[] = {"Caf\xc3\xa9",
                                          "Cafe\xcc\x81",
                                          "R\xc3\xa9sum\xc3\xa9",
                                          "\xc3\x85ngstr\xc3\xb6m",
                                          "A\xcc\x8angstro\xcc\x88m",
                                          "\xc3\xbc"
                                          "ber",
                                          "Stra\xc3\x9f"
                                          "e"};
  Lcg rng;
  EventList events;
  const Instant year2024 = Instant(std::chrono::seconds(1704067200));
  for (size_t i = 0; i < count; ++i) {
    // About a year of quarter hours: many records share a start and fall back on the title.
    const Instant start = year2024 + std::chrono::minutes(15 * (rng.next() % (366 * 96)));
    std::string title = static_cast<int>(rng.next() % 100) < accentedPercent
                            ? kAccented[rng.next() % std::size(kAccented)]
                            : kWords[rng.next() % std::size(kWords)];
    title += ' ';
    title += std::to_string(rng.next() % 50);
    events.add(rng.next() % 20, title, start, start, false, std::nullopt);
  }
  return events;
}

void sortEventsBench(benchmark::State& state) {
  const EventList events =
      makeEvents(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  for (auto _ : state) {
    const std::vector<SortedEvent> order = sortEvents(events);
    benchmark::DoNotOptimize(order.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(sortEventsBench)
    ->ArgNames({"records", "accentedPercent"})
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 30})
    ->Args({1'000'000, 100})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace velkor
