// Access names, the gate and the `status` and `request` commands over a scripted platform.
#include "store/access.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "support/scripted_store.h"

namespace velkor {
namespace {

using std::chrono::milliseconds;
using testing::Script;
using testing::scriptedPlatform;

std::string record(const std::string& name) { return "{\"access\":\"" + name + "\"}\n"; }

TEST(Status, NamesEveryStateOnBothSidesOfMacOS14AndOpensNoStore) {
  const std::tuple<long, const char*, const char*> cases[] = {{0, "notDetermined", "notDetermined"},
                                                              {1, "restricted", "restricted"},
                                                              {2, "denied", "denied"},
                                                              {3, "fullAccess", "fullAccess"},
                                                              {4, "unknown", "writeOnly"},
                                                              {5, "unknown", "unknown"},
                                                              {-1, "unknown", "unknown"},
                                                              {1L << 40, "unknown", "unknown"}};
  for (const auto& [state, before14, from14] : cases) {
    for (bool macOS14 : {false, true}) {
      auto script = std::make_shared<Script>();
      script->statuses = {state};
      script->macOS14 = macOS14;
      std::ostringstream out;
      EXPECT_EQ(runStatus(scriptedPlatform(script), out), kResult);
      EXPECT_EQ(out.str(), record(macOS14 ? from14 : before14)) << state << " " << macOS14;
      EXPECT_EQ(script->storesOpened, 0);
    }
  }
}

TEST(RequireAccess, PassesOnlyFullAccessAndReportsAFreshReading) {
  const std::tuple<std::vector<long>, Gate, std::string, int> cases[] = {
      {{3}, Gate::kPassed, "", 1},
      {{4}, Gate::kRefused, record("writeOnly"), 2},
      {{0, 1}, Gate::kRefused, record("restricted"), 2}};  // changed between the reads
  for (const auto& [statuses, gate, out, reads] : cases) {
    auto script = std::make_shared<Script>();
    script->statuses = statuses;
    std::ostringstream got;
    EXPECT_EQ(requireAccess(scriptedPlatform(script), got), gate);
    EXPECT_EQ(got.str(), out);
    EXPECT_EQ(script->statusReads, reads);
  }
}

// How the scripted store answers a request.
enum class Answer { kNever, kGranted, kRefused, kFromAnotherThreadLater };

TEST(Request, AsksOnlyWhenUndecidedAndReportsTheStateReadAfterwards) {
  struct Case {
    std::vector<long> statuses;  // before, for the record, for the exit status
    bool macOS14;
    Answer answer;
    ExitStatus status;
    std::string out;
    std::vector<std::string> requests;
  };
  const Case cases[] = {
      {{3}, true, Answer::kGranted, kResult, record("fullAccess"), {}},
      {{2}, true, Answer::kGranted, kNoAccess, record("denied"), {}},
      {{4}, false, Answer::kGranted, kNoAccess, record("unknown"), {}},
      {{0, 3}, true, Answer::kGranted, kResult, record("fullAccess"), {"full"}},
      {{0, 3}, false, Answer::kGranted, kResult, record("fullAccess"), {"legacy"}},
      // The state changes only when the late answer comes: the wait must last until then.
      {{0}, true, Answer::kFromAnotherThreadLater, kResult, record("fullAccess"), {"full"}},
      // The granted flag does not count, the state does; record and status are read apart.
      {{0, 3}, true, Answer::kRefused, kResult, record("fullAccess"), {"full"}},
      {{0, 2}, true, Answer::kRefused, kNoAccess, record("denied"), {"full"}},
      {{0, 3, 2}, true, Answer::kGranted, kNoAccess, record("fullAccess"), {"full"}},
      {{0}, true, Answer::kNever, kNoAccess, record("notDetermined"), {"full"}},
  };
  for (const Case& c : cases) {
    auto script = std::make_shared<Script>();
    script->statuses = c.statuses;
    script->macOS14 = c.macOS14;
    std::thread answerer;
    script->answerRequest = [&answerer, answer = c.answer,
                             s = script.get()](AccessCompletion done) {
      if (answer == Answer::kFromAnotherThreadLater) {
        answerer = std::thread([done = std::move(done), s] {
          std::this_thread::sleep_for(milliseconds(50));
          s->statuses = {0, 3};
          done(true, std::nullopt);
        });
      } else if (answer != Answer::kNever) {
        done(answer == Answer::kGranted, std::string("some error"));
      }
    };
    Platform platform = scriptedPlatform(script);
    // Long enough that only a missing answer reaches it, short enough for a test.
    platform.requestTimeout = c.answer == Answer::kNever ? milliseconds(20) : milliseconds(60000);
    std::ostringstream out;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runRequest(platform, out), c.status);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    if (answerer.joinable()) answerer.join();
    EXPECT_EQ(out.str(), c.out);
    EXPECT_EQ(script->requests, c.requests);
    EXPECT_EQ(script->storesOpened, 1);
  }
}

TEST(Request, WaitsOnThePlatformsSignalForTheRequestTimeout) {
  // The platform's own primitive (a dispatch semaphore on macOS) is the one signalled and waited
  // on.
  const std::tuple<long, bool, int, std::vector<milliseconds>> cases[] = {
      {0, true, 1, {milliseconds(1234)}},
      {0, false, 0, {milliseconds(1234)}},
      {3, true, 0, {}},
  };
  for (const auto& [state, answers, signals, waits] : cases) {
    auto script = std::make_shared<Script>();
    script->statuses = {state};
    script->answerRequest = [answers](AccessCompletion done) {
      if (answers) done(true, std::nullopt);
    };
    Platform platform = scriptedPlatform(script);
    platform.requestTimeout = milliseconds(1234);
    int signalled = 0;
    std::vector<milliseconds> waited;
    platform.answerSignal = [&signalled, &waited] {
      return AnswerSignal{[&signalled] { ++signalled; },
                          [&waited](milliseconds timeout) { waited.push_back(timeout); }};
    };
    std::ostringstream out;
    runRequest(platform, out);
    EXPECT_EQ(signalled, signals) << state << " " << answers;
    EXPECT_EQ(waited, waits) << state << " " << answers;
  }
}

TEST(Request, SurvivesAnAnswerAfterTheDeadline) {
  auto script = std::make_shared<Script>();
  script->statuses = {0};
  AccessCompletion kept;
  script->answerRequest = [&kept](AccessCompletion done) { kept = std::move(done); };
  Platform platform = scriptedPlatform(script);
  platform.requestTimeout = milliseconds(20);
  std::ostringstream out;
  EXPECT_EQ(runRequest(platform, out), kNoAccess);
  EXPECT_EQ(out.str(), record("notDetermined"));
  ASSERT_TRUE(kept);
  // The wait is over; the completion still holds a live semaphore (checked under ASan).
  std::thread([&kept] { kept(true, std::nullopt); }).join();
  EXPECT_EQ(out.str(), record("notDetermined"));
}

}  // namespace
}  // namespace velkor
