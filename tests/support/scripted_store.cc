#include "support/scripted_store.h"

#include <algorithm>

namespace velkor::testing {
namespace {

template <typename T>
const T& nth(const std::vector<T>& answers, int i) {
  return answers[std::min(static_cast<size_t>(i), answers.size() - 1)];
}

class ScriptedStore final : public Store {
 public:
  explicit ScriptedStore(std::shared_ptr<Script> script) : script_(std::move(script)) {}

  void requestFullAccessToEvents(AccessCompletion completion) override {
    script_->requests.push_back("full");
    script_->answerRequest(std::move(completion));
  }
  void requestAccessToEvents(AccessCompletion completion) override {
    script_->requests.push_back("legacy");
    script_->answerRequest(std::move(completion));
  }
  std::vector<Calendar> calendars() override {
    return nth(script_->calendarAnswers, script_->calendarAsks++);
  }
  void refreshSourcesIfNecessary() override { ++script_->refreshes; }
  std::vector<Event> events(Instant start, Instant end,
                            const std::vector<Calendar>& calendars) override {
    Script::Search search{start, end, {}};
    for (const Calendar& c : calendars) search.calendarIds.push_back(c.id);
    std::vector<Event> found;
    for (const Event& e : script_->events) {
      if (std::find(search.calendarIds.begin(), search.calendarIds.end(), e.calendarId) !=
          search.calendarIds.end()) {
        found.push_back(e);
      }
    }
    script_->searches.push_back(std::move(search));
    return found;
  }

 private:
  std::shared_ptr<Script> script_;
};

}  // namespace

Platform scriptedPlatform(std::shared_ptr<Script> script) {
  Platform p;
  p.authorizationStatus = [script] { return nth(script->statuses, script->statusReads++); };
  p.isMacOS14OrLater = [script] { return script->macOS14; };
  p.openStore = [script]() -> std::unique_ptr<Store> {
    ++script->storesOpened;
    return std::make_unique<ScriptedStore>(script);
  };
  p.sleep = [script](std::chrono::milliseconds d) { script->sleeps.push_back(d); };
  return p;
}

}  // namespace velkor::testing
