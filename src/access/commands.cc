#include "access/commands.h"

#include <memory>

#include "output/json.h"

namespace velkor {

Gate requireAccess(const Platform& platform, std::ostream& out) {
  if (accessName(platform) == "fullAccess") return Gate::kPassed;
  // The state may have changed since the first read: report the newest.
  emit(out, Status(accessName(platform)));
  return Gate::kRefused;
}

ExitStatus runStatus(const Platform& platform, std::ostream& out) {
  emit(out, Status(accessName(platform)));
  return kResult;
}

ExitStatus runRequest(const Platform& platform, std::ostream& out) {
  const std::unique_ptr<Store> store = openStore(platform);
  if (accessName(platform) == "notDetermined") {
    // The completion keeps its own copy of the signal, so an answer after the deadline still
    // signals a live one.
    const AnswerSignal answered = platform.answerSignal();
    AccessCompletion completion = [signal = answered.signal](
                                      bool, const std::optional<std::string>&) { signal(); };
    if (platform.isMacOS14OrLater()) {
      store->requestFullAccessToEvents(std::move(completion));
    } else {
      store->requestAccessToEvents(std::move(completion));
    }
    // Answered or timed out, the outcome is whatever the platform reports now.
    answered.wait(platform.requestTimeout);
  }
  emit(out, Status(accessName(platform)));
  return accessName(platform) == "fullAccess" ? kResult : kNoAccess;
}

}  // namespace velkor
