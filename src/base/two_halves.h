// Work split in two halves, the second on a helper thread: how the program uses the second core
// (reading a store's files, scanning a large file, parsing a large calendar).
#pragma once

#include <system_error>
#include <thread>
#include <utility>

namespace velkor {

// Runs `second` on a helper thread while this thread runs `first`, and returns once both are
// done: true. When no thread can be had it runs neither and returns false, and the caller does the
// whole work itself. Each half writes only to its own results.
template <typename First, typename Second>
bool runTwoHalves(First&& first, Second&& second) {
  std::jthread helper;
  try {
    helper = std::jthread(std::forward<Second>(second));
  } catch (const std::system_error&) {
    return false;
  }
  std::forward<First>(first)();
  return true;  // the helper is joined here
}

}  // namespace velkor
