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

TEST(AccessName, NamesEveryStateOnBothSidesOfMacOS14) {
  struct Case {
    long status;
    const char* before14;
    const char* from14;
  };
  const Case cases[] = {
      {0, "notDetermined", "notDetermined"},
      {1, "restricted", "restricted"},
      {2, "denied", "denied"},
      {3, "fullAccess", "fullAccess"},
      {4, "unknown", "writeOnly"},
      {5, "unknown", "unknown"},
      {-1, "unknown", "unknown"},
      {1L << 40, "unknown", "unknown"},
  };
  for (const Case& c : cases) {
    for (bool macOS14 : {false, true}) {
      auto script = std::make_shared<Script>();
      script->statuses = {c.status};
      script->macOS14 = macOS14;
      EXPECT_EQ(accessName(scriptedPlatform(script)), macOS14 ? c.from14 : c.before14)
          << c.status << " macOS14=" << macOS14;
    }
  }
}

TEST(Status, ReportsTheStateWithStatusZeroWhateverItIs) {
  for (long state : {0L, 2L, 3L, 4L}) {
    auto script = std::make_shared<Script>();
    script->statuses = {state};
    std::ostringstream out;
    EXPECT_EQ(runStatus(scriptedPlatform(script), out), kResult);
    EXPECT_EQ(out.str(), "{\"access\":\"" + accessName(state, true) + "\"}\n");
    EXPECT_EQ(script->storesOpened, 0);
  }
}

TEST(RequireAccess, PassesOnlyFullAccessAndReportsAFreshReading) {
  struct Case {
    std::vector<long> statuses;
    Gate gate;
    std::string out;
    int reads;
  };
  const Case cases[] = {
      {{3}, Gate::kPassed, "", 1},
      {{2}, Gate::kRefused, "{\"access\":\"denied\"}\n", 2},
      {{4}, Gate::kRefused, "{\"access\":\"writeOnly\"}\n", 2},
      // The state changed between the two reads: the newer one is reported.
      {{0, 1}, Gate::kRefused, "{\"access\":\"restricted\"}\n", 2},
  };
  for (const Case& c : cases) {
    auto script = std::make_shared<Script>();
    script->statuses = c.statuses;
    std::ostringstream out;
    EXPECT_EQ(requireAccess(scriptedPlatform(script), out), c.gate);
    EXPECT_EQ(out.str(), c.out);
    EXPECT_EQ(script->statusReads, c.reads);
    EXPECT_EQ(script->storesOpened, 0);
  }
}

struct RequestRun {
  ExitStatus status;
  std::string out;
};

RequestRun request(const std::shared_ptr<Script>& script,
                   milliseconds timeout = milliseconds(5000)) {
  Platform platform = scriptedPlatform(script);
  platform.requestTimeout = timeout;
  std::ostringstream out;
  const ExitStatus status = runRequest(platform, out);
  return {status, out.str()};
}

TEST(Request, AlreadyDecidedAsksNobody) {
  struct Case {
    long state;
    ExitStatus status;
    const char* name;
  };
  const Case cases[] = {
      {3, kResult, "fullAccess"},  {2, kNoAccess, "denied"},  {1, kNoAccess, "restricted"},
      {4, kNoAccess, "writeOnly"}, {7, kNoAccess, "unknown"},
  };
  for (const Case& c : cases) {
    auto script = std::make_shared<Script>();
    script->statuses = {c.state};
    const RequestRun run = request(script);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, std::string("{\"access\":\"") + c.name + "\"}\n");
    EXPECT_TRUE(script->requests.empty());
    EXPECT_EQ(script->storesOpened, 1);  // made before the state is looked at
  }
}

TEST(Request, UsesTheRequestOfTheRunningSystem) {
  for (bool macOS14 : {true, false}) {
    auto script = std::make_shared<Script>();
    script->macOS14 = macOS14;
    script->statuses = {0, 3};
    script->answerRequest = [](AccessCompletion done) { done(true, std::nullopt); };
    const RequestRun run = request(script);
    EXPECT_EQ(run.status, kResult);
    EXPECT_EQ(run.out, "{\"access\":\"fullAccess\"}\n");
    EXPECT_EQ(script->requests, std::vector<std::string>{macOS14 ? "full" : "legacy"});
  }
}

TEST(Request, OutcomeIsTheStateReadAfterwardsNotTheGrantedFlag) {
  struct Case {
    std::vector<long> statuses;  // before, for the record, for the exit status
    bool granted;
    ExitStatus status;
    const char* name;
  };
  const Case cases[] = {
      {{0, 3, 3}, false, kResult, "fullAccess"},
      {{0, 2, 2}, true, kNoAccess, "denied"},
      // The record and the exit status come from two separate reads.
      {{0, 3, 2}, true, kNoAccess, "fullAccess"},
  };
  for (const Case& c : cases) {
    auto script = std::make_shared<Script>();
    script->statuses = c.statuses;
    script->answerRequest = [granted = c.granted](AccessCompletion done) {
      done(granted, std::string("some error"));
    };
    const RequestRun run = request(script);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, std::string("{\"access\":\"") + c.name + "\"}\n");
    EXPECT_EQ(script->statusReads, 3);
  }
}

TEST(Request, WaitsForAnAnswerFromAnotherThread) {
  auto script = std::make_shared<Script>();
  script->statuses = {0, 3};
  std::thread answerer;
  script->answerRequest = [&answerer](AccessCompletion done) {
    answerer = std::thread([done = std::move(done)] {
      std::this_thread::sleep_for(milliseconds(50));
      done(true, std::nullopt);
    });
  };
  const auto started = std::chrono::steady_clock::now();
  const RequestRun run = request(script, milliseconds(60000));
  answerer.join();
  EXPECT_EQ(run.status, kResult);
  EXPECT_EQ(run.out, "{\"access\":\"fullAccess\"}\n");
  // Released by the answer, long before the deadline.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST(Request, GivesUpAtTheDeadlineAndSurvivesALateAnswer) {
  auto script = std::make_shared<Script>();
  script->statuses = {0};
  AccessCompletion kept;
  script->answerRequest = [&kept](AccessCompletion done) { kept = std::move(done); };
  const RequestRun run = request(script, milliseconds(20));
  EXPECT_EQ(run.status, kNoAccess);
  EXPECT_EQ(run.out, "{\"access\":\"notDetermined\"}\n");
  ASSERT_TRUE(kept);
  // The wait is over; the completion still holds a live semaphore (checked under ASan).
  std::thread late([&kept] { kept(true, std::nullopt); });
  late.join();
}

}  // namespace
}  // namespace velkor
