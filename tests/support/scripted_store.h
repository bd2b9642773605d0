// A platform whose answers a test scripts and whose calls it can inspect afterwards.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/store.h"

namespace velkor::testing {

struct Script {
  // Successive answers to the authorization question; the last one repeats.
  std::vector<long> statuses{kFullAccess};
  bool macOS14 = true;
  // Successive answers to `calendars()`; the last one repeats.
  std::vector<std::vector<Calendar>> calendarAnswers{{}};
  // What a search finds, before it is narrowed to the calendars searched.
  std::vector<Event> events;
  // Answers an access request; by default nobody ever answers.
  std::function<void(AccessCompletion)> answerRequest = [](AccessCompletion) {};

  struct Search {
    Instant start;
    Instant end;
    std::vector<std::string> calendarIds;
  };

  // What the code under test did.
  int statusReads = 0;
  int storesOpened = 0;
  int calendarAsks = 0;
  int refreshes = 0;
  std::vector<std::chrono::milliseconds> sleeps;
  std::vector<std::string> requests;  // "full" or "legacy", one per request call
  std::vector<Search> searches;
};

Platform scriptedPlatform(std::shared_ptr<Script> script);

}  // namespace velkor::testing
