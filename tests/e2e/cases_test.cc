// Runs every tests/e2e/cases/*.case: a store, then runs of the whole program, each with its exact
// standard output, standard error and exit status. Format, after any lines of comment:
//   == file PATH [crlf|cr]   the lines up to the next "==" line; \xHH is a byte; {01..64} in PATH
//                            writes one file per number (the content's {} becomes the number)
//   == dir PATH
//   == link PATH TARGET
//   == fifo PATH             (a reader that opens one for reading hangs, and the test with it)
//   == run [NAME=value ...] WORD ...   "..." quotes a word; $ROOT is the store's parent
//   == stdout / == stderr    the lines up to the next "==" line, each ending in a line feed
//   == exit N                 (stdout and stderr not given are empty, exit not given is 0)
// Every events run also searches the whole store in this process, fast and full, which must agree.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <list>
#include <map>
#include <regex>

#include "events/dates.h"
#include "filestore/filestore.h"
#include "support/run_program.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;

std::string decoded(const std::string& text, const std::string& lineEnd) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "\\x") == 0 && i + 4 <= text.size()) {
      out.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
      i += 3;
    } else {
      out += text[i] == '\n' ? lineEnd : std::string(1, text[i]);
    }
  }
  return out;
}

// The words of a line; "..." quotes one, which may be empty.
std::vector<std::string> words(const std::string& line) {
  static const std::regex word(R"re("([^"]*)"|([^ ]+))re");
  std::vector<std::string> out;
  for (std::sregex_iterator it(line.begin(), line.end(), word), end; it != end; ++it)
    out.push_back((*it)[(*it)[1].matched ? 1 : 2].str());
  return out;
}

struct Section {
  std::vector<std::string> head;  // the words after "=="
  std::string body;               // its lines, each with its line feed
};

std::vector<Section> sectionsOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<Section> out;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("== ")) {
      out.push_back({words(line.substr(3)), ""});
    } else if (!out.empty()) {
      out.back().body += line + "\n";
    }
  }
  return out;
}

void writeFiles(const testing::TempDir& home, const Section& s) {
  const std::string lineEnd = s.head.size() > 2 ? (s.head[2] == "cr" ? "\r" : "\r\n") : "\n";
  std::smatch range;
  if (!std::regex_search(s.head[1], range, std::regex(R"(\{(\d+)\.\.(\d+)\})"))) {
    home.write(decoded(s.head[1], "\n"), decoded(s.body, lineEnd));
    return;
  }
  for (int n = std::stoi(range[1]); n <= std::stoi(range[2]); ++n) {
    std::string number = std::to_string(n);
    number.insert(0, std::max<size_t>(range[1].str().size(), number.size()) - number.size(), '0');
    home.write(range.prefix().str() + number + range.suffix().str(),
               decoded(testing::replaced(s.body, "{}", number), lineEnd));
  }
}

struct Invocation {
  std::map<std::string, std::string> env;  // a variable set twice takes its last value
  std::vector<std::string> args;
  testing::RunResult expected{0, "", ""};
};

void expectModesAgree(const Invocation& r) {
  std::list<testing::ScopedEnv> env;
  for (const auto& [name, value] : r.env) env.emplace_back(name, value.c_str());
  const auto from = r.args.size() == 4 ? localDay(r.args[1]) : std::nullopt;
  const auto to = r.args.size() == 4 ? localDay(r.args[2]) : std::nullopt;
  if (r.args[0] != "events" || !from || !to) return;
  const auto calendars = listFileCalendars(fileStoreRoot());
  EXPECT_EQ(testing::describe(searchFileCalendars(calendars, *from, *to, SearchMode::kFast)),
            testing::describe(searchFileCalendars(calendars, *from, *to, SearchMode::kFull)));
}

class Case : public ::testing::TestWithParam<fs::path> {};

TEST_P(Case, GivesItsExpectedRuns) {
  const testing::TempDir home;
  const std::string root = home.path().string();
  std::vector<Invocation> runs;
  for (const Section& s : sectionsOf(GetParam())) {
    const std::string& kind = s.head.at(0);
    if (kind == "file") writeFiles(home, s);
    if (kind == "dir") fs::create_directories(home.path() / decoded(s.head.at(1), "\n"));
    if (kind == "fifo") ::mkfifo((home.path() / s.head.at(1)).c_str(), 0600);
    if (kind == "link") {
      fs::create_directories((home.path() / s.head.at(1)).parent_path());
      fs::create_symlink(s.head.at(2), home.path() / s.head.at(1));
    }
    if (kind == "stdout") runs.back().expected.out = s.body;
    if (kind == "stderr") runs.back().expected.err = s.body;
    if (kind == "exit") runs.back().expected.status = std::stoi(s.head.at(1));
    if (kind != "run") continue;
    runs.push_back({{{"XDG_DATA_HOME", root}, {"TZ", "UTC"}}, {}});
    for (const std::string& w : std::vector(s.head.begin() + 1, s.head.end())) {
      const size_t eq = w.find('=');
      if (runs.back().args.empty() && eq != std::string::npos && std::isupper(w[0]))
        runs.back().env[w.substr(0, eq)] = testing::replaced(w.substr(eq + 1), "$ROOT", root);
      else
        runs.back().args.push_back(decoded(w, "\n"));
    }
  }
  for (const Invocation& r : runs) {
    std::string what = "run";
    for (const std::string& w : r.args) what += " [" + w + "]";
    SCOPED_TRACE(what);
    const testing::RunResult got = testing::runProgram(r.args, {r.env.begin(), r.env.end()});
    EXPECT_EQ(got.out, r.expected.out) << what;
    EXPECT_EQ(got.err, r.expected.err) << what;
    EXPECT_EQ(got.status, r.expected.status) << what;
    if (!r.args.empty()) expectModesAgree(r);
  }
}

std::vector<fs::path> cases() {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(VELKOR_SOURCE_DIR "/tests/e2e/cases"))
    if (e.path().extension() == ".case") out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(E2e, Case, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.stem().string(); });

}  // namespace
}  // namespace velkor
