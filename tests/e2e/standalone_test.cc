// The program as a host ships it: copied alone (no desktop module beside it) it answers from the
// file store exactly as the built program does; a module beside it is loaded; a module that does
// not load, lacks the entry point or has another version is left out without a word; and an
// empty store is answered at once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using testing::RunResult;

// The program copied into a fresh directory, with `module` (when given) beside it under the
// name the program looks for.
class Bundle {
 public:
  explicit Bundle(const fs::path& module = {}) {
    fs::copy_file(VELKOR_BINARY, dir_.path() / "velkor-calendar");
    if (!module.empty()) fs::copy_file(module, dir_.path() / "velkor-calendar-eds.so");
  }
  fs::path program() const { return dir_.path() / "velkor-calendar"; }
  fs::path path() const { return dir_.path(); }

 private:
  testing::TempDir dir_;
};

const testing::EnvOverrides kExamples = {{"XDG_DATA_HOME", VELKOR_SOURCE_DIR "/examples"},
                                         {"TZ", "Europe/Berlin"}};
const std::vector<std::vector<std::string>> kCommands = {
    {"status"},
    {"calendars"},
    {"events", "2026-12-07", "2026-12-14",
     "family/home,family/kids,holidays.ics,personal,work/projects,work/team,/fake/one"}};

std::string describe(const RunResult& r) {
  return "exit " + std::to_string(r.status) + "\nout " + r.out + "\nerr " + r.err;
}

std::vector<std::string> answers(const fs::path& program) {
  std::vector<std::string> out;
  for (const auto& command : kCommands)
    out.push_back(describe(testing::runProgramAt(program, command, kExamples)));
  return out;
}

TEST(Standalone, AloneAnswersFromTheFileStoreAsTheBuiltProgram) {
  const Bundle alone;
  const std::vector<std::string> got = answers(alone.program());
  EXPECT_EQ(got, answers(VELKOR_BINARY));
  EXPECT_EQ(got[0], "exit 0\nout {\"access\":\"fullAccess\"}\n\nerr ");
  EXPECT_NE(got[1].find(R"("id":"work\/team")"), std::string::npos) << got[1];
  EXPECT_NE(got[2].find(R"("calendar":"family\/kids")"), std::string::npos) << got[2];
}

TEST(Standalone, LoadsTheModuleBesideTheProgram) {
  const Bundle alone, withModule(VELKOR_FAKE_MODULES "/fake_module_ok.so");
  const std::vector<std::string> plain = answers(alone.program());
  const std::vector<std::string> got = answers(withModule.program());
  EXPECT_EQ(got[0], plain[0]);
  EXPECT_NE(got[1].find(R"({"account":"","id":"\/fake\/one","kind":"local","title":"Fake"})"),
            std::string::npos)
      << got[1];
  EXPECT_EQ(got[2], plain[2]);  // the fake store has no events
}

TEST(Standalone, LeavesOutAModuleThatCannotServeWithoutAWord) {
  const testing::TempDir scratch;
  const fs::path modules[] = {
      VELKOR_FAKE_MODULES "/fake_module_other_version.so",
      VELKOR_FAKE_MODULES "/fake_module_no_entry.so",
      VELKOR_FAKE_MODULES "/fake_module_missing_library.so",
      scratch.write("text.so", "not an ELF object\n"),
      scratch.write("empty.so", ""),
      // An executable: the loader refuses to load one as a library.
      VELKOR_BINARY,
  };
  const std::vector<std::string> plain = answers(Bundle().program());
  for (const fs::path& module : modules) {
    const Bundle bundle(module);
    EXPECT_EQ(answers(bundle.program()), plain) << module;
  }
}

TEST(Standalone, AnEmptyStoreIsAnsweredAtOnce) {
  const testing::TempDir home;
  const testing::EnvOverrides env = {{"XDG_DATA_HOME", home.path().string()}, {"TZ", "UTC"}};
  const std::vector<std::string> commands[] = {{"calendars"},
                                               {"events", "2026-03-01", "2026-03-02", "a"}};
  for (const auto& command : commands) {
    // The best of three, so that a busy machine's hiccup is not taken for a wait.
    auto best = std::chrono::duration<double>::max();
    for (int i = 0; i < 3; ++i) {
      const auto start = std::chrono::steady_clock::now();
      const RunResult r = testing::runProgram(command, env);
      best =
          std::min<std::chrono::duration<double>>(best, std::chrono::steady_clock::now() - start);
      EXPECT_EQ(describe(r), "exit 0\nout []\n\nerr ") << command[0];
    }
    EXPECT_LT(best.count(), 0.2) << command[0];
  }
}

}  // namespace
}  // namespace velkor
