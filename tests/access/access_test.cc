// Access names, the gate and the `request` command over a scripted platform: the states the file
// store never reports.
#include "access/commands.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

#include "support/scripted_store.h"

namespace velkor {
namespace {

using std::chrono::milliseconds;
using testing::Script;

std::string record(const std::string& name) { return "{\"access\":\"" + name + "\"}\n"; }

TEST(Status, NamesEveryStateAndGatesAllButFullAccess) {
  using enum AccessState;
  const std::pair<AccessState, const char*> names[] = {
      {kNotDetermined, "notDetermined"}, {kRestricted, "restricted"}, {kDenied, "denied"},
      {kFullAccess, "fullAccess"},       {kWriteOnly, "writeOnly"},   {kUnknown, "unknown"}};
  for (const auto& [state, name] : names) {
    auto script = std::make_shared<Script>();
    script->statuses = {state};
    std::ostringstream out;
    EXPECT_EQ(runStatus(testing::scriptedPlatform(script), out), kResult);
    EXPECT_EQ(out.str(), record(name)) << name;
    // The gate passes full access only, and reports a fresh reading.
    script->statuses = {state, kRestricted};
    script->statusReads = 0;
    out.str("");
    const Gate gate = requireAccess(testing::scriptedPlatform(script), out);
    EXPECT_EQ(gate, state == kFullAccess ? Gate::kPassed : Gate::kRefused);
    EXPECT_EQ(out.str(), state == kFullAccess ? "" : record("restricted"));
  }
}

TEST(Request, AsksOnlyWhenUndecidedAndReportsTheStateReadAfterwards) {
  enum Answer { kNever, kGranted, kRefused, kLateFromAnotherThread };
  using enum AccessState;
  const std::tuple<std::vector<AccessState>, bool, Answer, ExitStatus, const char*, const char*>
      cases[] = {
          {{kFullAccess}, true, kGranted, kResult, "fullAccess", ""},
          {{kDenied}, true, kGranted, kNoAccess, "denied", ""},
          {{kUnknown}, false, kGranted, kNoAccess, "unknown", ""},
          {{kNotDetermined, kFullAccess}, false, kGranted, kResult, "fullAccess", "legacy"},
          // The state changes only when the late answer comes: the wait lasts until then.
          {{kNotDetermined}, true, kLateFromAnotherThread, kResult, "fullAccess", "full"},
          // The state counts, not the granted flag; record and exit status read it apart.
          {{kNotDetermined, kFullAccess}, true, kRefused, kResult, "fullAccess", "full"},
          {{kNotDetermined, kFullAccess, kDenied}, true, kGranted, kNoAccess, "fullAccess", "full"},
          {{kNotDetermined}, true, kNever, kNoAccess, "notDetermined", "full"},
      };
  for (const auto& [statuses, macOS14, answer, status, name, asked] : cases) {
    auto script = std::make_shared<Script>();
    script->statuses = statuses;
    script->macOS14 = macOS14;
    std::thread late;
    AccessCompletion kept;
    script->answerRequest = [&, answer, s = script.get()](AccessCompletion done) {
      if (answer == kLateFromAnotherThread) {
        late = std::thread([done, s] {
          std::this_thread::sleep_for(milliseconds(50));
          s->statuses = {AccessState::kNotDetermined, AccessState::kFullAccess};
          done(true, std::nullopt);
        });
      }
      if (answer == kGranted || answer == kRefused) done(answer == kGranted, "some error");
      kept = std::move(done);
    };
    Platform platform = testing::scriptedPlatform(script);
    platform.requestTimeout = answer == kNever ? milliseconds(20) : milliseconds(60000);
    // The platform's own primitive (a dispatch semaphore on macOS) is the one signalled and
    // waited on, for the request timeout.
    std::atomic<int> signals{0};
    std::vector<milliseconds> waits;
    platform.answerSignal = [&, real = platform.answerSignal] {
      const AnswerSignal s = real();
      return AnswerSignal{[&signals, s] { ++signals, s.signal(); },
                          [&waits, s](milliseconds t) { waits.push_back(t), s.wait(t); }};
    };
    std::ostringstream out;
    EXPECT_EQ(runRequest(platform, out), status) << name;
    if (late.joinable()) late.join();
    EXPECT_EQ(out.str(), record(name));
    const bool wasAsked = *asked != '\0';
    EXPECT_EQ(script->requests,
              wasAsked ? std::vector<std::string>{asked} : std::vector<std::string>{});
    EXPECT_EQ(waits, wasAsked ? std::vector{platform.requestTimeout} : std::vector<milliseconds>{});
    EXPECT_EQ(signals, wasAsked && answer != kNever ? 1 : 0) << name;
    // An answer after the deadline meets a live semaphore (checked under AddressSanitizer).
    if (answer == kNever) std::thread([&kept] { kept(true, std::nullopt); }).join();
  }
}

}  // namespace
}  // namespace velkor
