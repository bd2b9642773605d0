// A platform whose answers a test scripts and whose calls it can inspect afterwards.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>

#include "store/store.h"

namespace velkor::testing {

struct Script {
  std::vector<AccessState> statuses{
      AccessState::kFullAccess};  // successive answers; the last repeats
  bool macOS14 = true;
  bool mayStillLoad = true;                                // the platform's storeMayStillLoad
  std::vector<std::vector<Calendar>> calendarAnswers{{}};  // successive answers; the last repeats
  EventList eventAnswer;                                   // what every search finds
  std::function<void(AccessCompletion)> answerRequest = [](AccessCompletion) {};  // never answers
  // What the code under test did.
  int statusReads = 0, calendarAsks = 0, refreshes = 0;
  std::vector<std::chrono::milliseconds> sleeps;
  std::vector<std::string> requests;  // "full" or "legacy", one per request call
};

template <typename T>
const T& nth(const std::vector<T>& answers, int i) {
  return answers[std::min(static_cast<size_t>(i), answers.size() - 1)];
}

class ScriptedStore final : public Store {
 public:
  explicit ScriptedStore(std::shared_ptr<Script> s) : s_(std::move(s)) {}
  void requestFullAccessToEvents(AccessCompletion done) override {
    request("full", std::move(done));
  }
  void requestAccessToEvents(AccessCompletion done) override { request("legacy", std::move(done)); }
  std::vector<Calendar> calendars() override {
    return nth(s_->calendarAnswers, s_->calendarAsks++);
  }
  void refreshSourcesIfNecessary() override { ++s_->refreshes; }
  EventList events(Instant, Instant, const std::vector<Calendar>&) override {
    return s_->eventAnswer;
  }

 private:
  void request(const char* kind, AccessCompletion done) {
    s_->requests.push_back(kind);
    s_->answerRequest(std::move(done));
  }
  std::shared_ptr<Script> s_;
};

inline Platform scriptedPlatform(std::shared_ptr<Script> script) {
  Platform p;
  p.authorizationStatus = [script] { return nth(script->statuses, script->statusReads++); };
  p.isMacOS14OrLater = [script] { return script->macOS14; };
  p.openStore = [script]() -> std::unique_ptr<Store> {
    return std::make_unique<ScriptedStore>(script);
  };
  p.sleep = [script](std::chrono::milliseconds d) { script->sleeps.push_back(d); };
  p.storeMayStillLoad = script->mayStillLoad;
  return p;
}

}  // namespace velkor::testing
