#include "store/access.h"

#include <memory>
#include <semaphore>

#include "output/json.h"

namespace velkor {

std::string accessName(long status, bool macOS14OrLater) {
  switch (status) {
    case kNotDetermined:
      return "notDetermined";
    case kRestricted:
      return "restricted";
    case kDenied:
      return "denied";
    case kFullAccess:
      return "fullAccess";
    default:
      return status == kWriteOnly && macOS14OrLater ? "writeOnly" : "unknown";
  }
}

std::string accessName(const Platform& platform) {
  const long status = platform.authorizationStatus();
  // The version only matters for the one value whose meaning depends on it.
  if (status >= kNotDetermined && status <= kFullAccess) return accessName(status, false);
  return accessName(status, platform.isMacOS14OrLater());
}

AnswerSignal portableAnswerSignal() {
  auto semaphore = std::make_shared<std::counting_semaphore<>>(0);
  return {[semaphore] { semaphore->release(); },
          [semaphore](std::chrono::milliseconds timeout) {
            (void)semaphore->try_acquire_until(std::chrono::steady_clock::now() + timeout);
          }};
}

std::unique_ptr<Store> openStore(const Platform& platform) { return platform.openStore(); }

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
