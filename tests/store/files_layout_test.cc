// The file store's layout: which directories and files become calendars, and what they are called.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "store/store_files.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr const char* kIcs = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n";

// One thing to put into a store before listing it.
struct Item {
  enum Kind { kFile, kDir, kLink, kFifo } kind;
  std::string path;
  std::string content;  // the file's bytes, or the link's target
};
Item file(std::string path, std::string content = kIcs) {
  return {Item::kFile, std::move(path), std::move(content)};
}
Item dir(std::string path) { return {Item::kDir, std::move(path), {}}; }
Item link(std::string path, std::string target) {
  return {Item::kLink, std::move(path), std::move(target)};
}
Item fifo(std::string path) { return {Item::kFifo, std::move(path), {}}; }

void build(const TempDir& store, const std::vector<Item>& items) {
  for (const Item& item : items) {
    const fs::path at = store.path() / item.path;
    fs::create_directories(at.parent_path());
    switch (item.kind) {
      case Item::kFile:
        store.write(item.path, item.content);
        break;
      case Item::kDir:
        fs::create_directories(at);
        break;
      case Item::kLink:
        fs::create_symlink(item.content, at);
        break;
      case Item::kFifo:
        ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0) << item.path;
        break;
    }
  }
}

// One calendar on one line, so that a failing case shows the whole listing.
std::string describe(const FileCalendar& c, const fs::path& root) {
  std::string out = c.calendar.id + " | " + c.calendar.title + " | ";
  out += c.calendar.source
             ? c.calendar.source->title + ":" + std::to_string(c.calendar.source->type)
             : "-";
  out += c.singleFile ? " | file " : " | dir ";
  out += c.path.lexically_relative(root).string();
  return out;
}

std::vector<std::string> describeListing(const fs::path& root) {
  std::vector<std::string> out;
  for (const FileCalendar& c : listFileCalendars(root)) out.push_back(describe(c, root));
  return out;
}

struct LayoutCase {
  const char* name;
  std::vector<Item> items;
  std::vector<std::string> listing;  // "id | title | account:type or - | dir or file path"
};

void expectListings(const std::vector<LayoutCase>& cases) {
  for (const LayoutCase& c : cases) {
    TempDir store;
    build(store, c.items);
    EXPECT_EQ(describeListing(store.path()), c.listing) << c.name;
  }
}

TEST(FileLayout, TellsAccountsFromCalendarsAndReadsOneLevelInsideAccounts) {
  expectListings({
      {"directories of calendars make an account",
       {file("work/team/a.ics"), file("work/projects/b.ics"), dir("work/empty")},
       {"work/empty | empty | work:0 | dir work/empty",
        "work/projects | projects | work:0 | dir work/projects",
        "work/team | team | work:0 | dir work/team"}},
      {"an *.ics file next to subdirectories makes a calendar, and nothing deeper is listed",
       {file("personal/a.ics"), file("personal/sub/x.ics"), dir("personal/sub/deeper")},
       {"personal | personal | - | dir personal"}},
      {"a directory without subdirectories is a calendar, even empty or without *.ics files",
       {dir("empty"), file("notes/readme.txt", "hello")},
       {"empty | empty | - | dir empty", "notes | notes | - | dir notes"}},
      {"single-file calendars under the root; other files are ignored",
       {file("holidays.ics"), file("README", "x"), dir("work/team"), file("work/notes.txt", "x"),
        file("work/displayname", "Work"), file("work/team/deeper.ics")},
       {"holidays.ics | holidays | - | file holidays.ics",
        "work/team | team | Work:0 | dir work/team"}},
      {"an *.ics file next to calendar directories makes the directory a calendar",
       {file("work/export.ics"), dir("work/team")},
       {"work | work | - | dir work"}},
      {"file names are matched on the exact suffix .ics",
       {file("upper.ICS"), file("ics"), file("x.ics.bak"), dir("keep")},
       {"keep | keep | - | dir keep"}},
      {"a missing root is an empty store", {}, {}},
  });
}

TEST(FileLayout, IgnoresHiddenEntriesEverywhere) {
  expectListings({
      {"hidden directories and files under the root",
       {file(".hidden/a.ics"), file(".x.ics"), dir(".trash"), file("cal/a.ics")},
       {"cal | cal | - | dir cal"}},
      {"a hidden subdirectory does not make an account",
       {dir("cal/.git/objects"), file("cal/.old.ics")},
       {"cal | cal | - | dir cal"}},
      {"a hidden *.ics file does not turn an account into a calendar",
       {file("acc/.cache.ics"), file("acc/visible/a.ics"), dir("acc/.hidden")},
       {"acc/visible | visible | acc:0 | dir acc/visible"}},
  });
}

TEST(FileLayout, OrdersByNameBytesDepthFirst) {
  expectListings({
      {"upper case before '_' before lower case before non-ASCII; files and directories mixed",
       {dir("a/y"), dir("a/x"), dir("\xC3\xA9t\xC3\xA9"), file("b.ics"), dir("_u"), dir("Z"),
        dir("B"), dir("a/M"), dir("c")},
       {"B | B | - | dir B", "Z | Z | - | dir Z", "_u | _u | - | dir _u", "a/M | M | a:0 | dir a/M",
        "a/x | x | a:0 | dir a/x", "a/y | y | a:0 | dir a/y", "b.ics | b | - | file b.ics",
        "c | c | - | dir c", "\xC3\xA9t\xC3\xA9 | \xC3\xA9t\xC3\xA9 | - | dir \xC3\xA9t\xC3\xA9"}},
      {"a prefix sorts first",
       {dir("ab"), dir("a"), dir("abc")},
       {"a | a | - | dir a", "ab | ab | - | dir ab", "abc | abc | - | dir abc"}},
  });
}

TEST(FileLayout, EscapesCommasPercentAndInvalidUtf8InIdentifiers) {
  expectListings({
      {"separator and escape characters",
       {dir("a,b"), dir("100%"), file("x,y.ics")},
       {"100%25 | 100% | - | dir 100%", "a%2Cb | a,b | - | dir a,b",
        "x%2Cy.ics | x,y | - | file x,y.ics"}},
      {"invalid bytes are escaped one by one, valid UTF-8 is kept",
       {dir("bad\xFFname"), dir("cut\xE2\x82"), dir("over\xC0\xAF"), dir("sur\xED\xA0\x80"),
        dir("caf\xC3\xA9"), dir("big\xF4\x90\x80\x80"), dir("emoji\xF0\x9F\x98\x80")},
       {"bad%FFname | bad\xFFname | - | dir bad\xFFname",
        "big%F4%90%80%80 | big\xF4\x90\x80\x80 | - | dir big\xF4\x90\x80\x80",
        "caf\xC3\xA9 | caf\xC3\xA9 | - | dir caf\xC3\xA9",
        "cut%E2%82 | cut\xE2\x82 | - | dir cut\xE2\x82",
        "emoji\xF0\x9F\x98\x80 | emoji\xF0\x9F\x98\x80 | - | dir emoji\xF0\x9F\x98\x80",
        "over%C0%AF | over\xC0\xAF | - | dir over\xC0\xAF",
        "sur%ED%A0%80 | sur\xED\xA0\x80 | - | dir sur\xED\xA0\x80"}},
      {"a valid sequence right after an invalid byte survives",
       {dir("x\xF0\xE2\x82\xAC")},
       {"x%F0\xE2\x82\xAC | x\xF0\xE2\x82\xAC | - | dir x\xF0\xE2\x82\xAC"}},
      {"both parts of an account calendar's identifier are escaped",
       {file("my,acc/50%/a.ics"), dir("my,acc/r\xFF")},
       {"my%2Cacc/50%25 | 50% | my,acc:0 | dir my,acc/50%",
        "my%2Cacc/r%FF | r\xFF | my,acc:0 | dir my,acc/r\xFF"}},
  });
}

std::string calendarFile(const std::string& header) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + header +
         "BEGIN:VEVENT\r\nUID:1\r\nX-WR-CALNAME:Inside the "
         "event\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

TEST(FileLayout, TakesTitlesFromDisplaynameOrCalendarNameElseFromTheName) {
  expectListings({
      {"displayname: first line, CR stripped, blanks kept",
       {file("a/displayname", "Team\r\nsecond line\n"), file("b/displayname", " Spaced \n"),
        file("c/displayname", "No line end"), file("d/displayname", "Caf\xC3\xA9 \xE2\x98\x95\n")},
       {"a | Team | - | dir a", "b |  Spaced  | - | dir b", "c | No line end | - | dir c",
        "d | Caf\xC3\xA9 \xE2\x98\x95 | - | dir d"}},
      {"empty, missing or unusable displayname falls back to the directory name",
       {file("a/displayname", ""), file("b/displayname", "\nSecond\n"), dir("c"),
        link("d/displayname", "nowhere"), file("e/displayname", "\r\n"),
        file("f/displayname", std::string(3 << 20, 'f'))},
       {"a | a | - | dir a", "b | b | - | dir b", "c | c | - | dir c", "d | d | - | dir d",
        "e | e | - | dir e", "f | f | - | dir f"}},
      {"a long first line is kept whole",
       {file("long/displayname", std::string(100000, 'y') + "\nsecond")},
       {"long | " + std::string(100000, 'y') + " | - | dir long"}},
      {"account titles",
       {file("w/displayname", "Work\nignored"), file("w/t/displayname", "Team"), dir("w/u"),
        dir("h/k"), file("e/displayname", ""), dir("e/c")},
       {"e/c | c | e:0 | dir e/c", "h/k | k | h:0 | dir h/k", "w/t | Team | Work:0 | dir w/t",
        "w/u | u | Work:0 | dir w/u"}},
      {"X-WR-CALNAME: plain, with parameters, any case, folded, escaped",
       {file("a.ics", calendarFile("X-WR-CALNAME:Holidays\r\n")),
        file("b.ics", calendarFile("X-WR-CALNAME;VALUE=TEXT;X-Q=\"a:b\":Params\r\n")),
        file("c.ics", calendarFile("x-wr-calname:lower\r\n")),
        file("d.ics", calendarFile("X-WR-CALNAME:Fol\r\n ded \r\n\tacross\r\n")),
        file("e.ics", calendarFile("X-WR-CALNAME:A\\, B\\; C\\\\ D\\nE\\NF \\x\r\n")),
        file("f.ics",
             "\xEF\xBB\xBF"
             "BEGIN:VCALENDAR\nX-WR-CALNAME:Bom and LF\nEND:VCALENDAR"),
        file("g.ics", calendarFile("X-WR-CALNAME:First\r\nX-WR-CALNAME:Second\r\n"))},
       {"a.ics | Holidays | - | file a.ics", "b.ics | Params | - | file b.ics",
        "c.ics | lower | - | file c.ics", "d.ics | Folded across | - | file d.ics",
        "e.ics | A, B; C\\ D\nE\nF \\x | - | file e.ics", "f.ics | Bom and LF | - | file f.ics",
        "g.ics | First | - | file g.ics"}},
      {"X-WR-CALNAME only counts on the calendar itself, before its first event, and not empty",
       {file("a.ics", calendarFile("")),
        file("b.ics", calendarFile("BEGIN:VTIMEZONE\r\nX-WR-CALNAME:Zone\r\nEND:VTIMEZONE\r\n")),
        file("c.ics", calendarFile("X-WR-CALNAME:\r\n")),
        file("d.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nEND:VEVENT\r\nX-WR-CALNAME:Late\r\n"),
        file("e.ics", ""), file("f.ics", "not a calendar at all\n\n:\n;\n"),
        file("g.ics", calendarFile("BEGIN:VTIMEZONE\r\nEND:VTIMEZONE\r\nX-WR-CALNAME:After\r\n"))},
       {"a.ics | a | - | file a.ics", "b.ics | b | - | file b.ics", "c.ics | c | - | file c.ics",
        "d.ics | d | - | file d.ics", "e.ics | e | - | file e.ics", "f.ics | f | - | file f.ics",
        "g.ics | After | - | file g.ics"}},
  });
}

TEST(FileLayout, ReadsTheHeaderOfALongSingleFileCalendarAcrossReadBoundaries) {
  // A long zone block first, so the calendar name comes well after the first read.
  std::string header = "BEGIN:VTIMEZONE\r\n";
  for (int i = 0; i < 3000; ++i) header += "COMMENT:padding line " + std::to_string(i) + "\r\n";
  header += "END:VTIMEZONE\r\nX-WR-CALNAME:Far \r\n away\r\n";
  TempDir store;
  build(store, {file("long.ics", calendarFile(header))});
  EXPECT_EQ(describeListing(store.path()),
            std::vector<std::string>{"long.ics | Far away | - | file long.ics"});
}

struct ColorCase {
  std::string text;
  std::optional<SrgbComponents> color;
};

const std::vector<ColorCase>& colorCases() {
  static const std::vector<ColorCase> cases = {
      {"#FF8000", SrgbComponents{1.0, 128 / 255.0, 0.0, 1.0}},
      {"#ff8000cc", SrgbComponents{1.0, 128 / 255.0, 0.0, 204 / 255.0}},
      {"#aBcDeF", SrgbComponents{171 / 255.0, 205 / 255.0, 239 / 255.0, 1.0}},
      {"  #00ff00 \t", SrgbComponents{0.0, 1.0, 0.0, 1.0}},
      {"#00000000", SrgbComponents{0.0, 0.0, 0.0, 0.0}},
      {"#0f0", std::nullopt},
      {"ff8000", std::nullopt},
      {"#GG0000", std::nullopt},
      {"#ff80001", std::nullopt},
      {"#ff8000 x", std::nullopt},
      {"# ff8000", std::nullopt},
      {"#ff80-00", std::nullopt},
      {"", std::nullopt},
      {"red", std::nullopt},
  };
  return cases;
}

void expectColor(const std::optional<SrgbComponents>& got,
                 const std::optional<SrgbComponents>& want, const std::string& what) {
  ASSERT_EQ(got.has_value(), want.has_value()) << what;
  if (!want) return;
  ASSERT_EQ(got->size(), want->size()) << what;
  for (size_t i = 0; i < want->size(); ++i) EXPECT_DOUBLE_EQ((*got)[i], (*want)[i]) << what;
}

TEST(FileLayout, ReadsColoursOfDirectoryCalendars) {
  for (const ColorCase& c : colorCases()) {
    for (const char* lineEnd : {"", "\n", "\r\n", "\nsecond line\n"}) {
      TempDir store;
      build(store, {file("cal/color", c.text + lineEnd)});
      const std::vector<FileCalendar> listed = listFileCalendars(store.path());
      ASSERT_EQ(listed.size(), 1u);
      expectColor(listed[0].calendar.color, c.color, "[" + c.text + "]");
    }
  }
}

TEST(FileLayout, ReadsColoursOfSingleFileCalendars) {
  for (const ColorCase& c : colorCases()) {
    TempDir store;
    build(store, {file("cal.ics", calendarFile("X-APPLE-CALENDAR-COLOR:" + c.text + "\r\n"))});
    const std::vector<FileCalendar> listed = listFileCalendars(store.path());
    ASSERT_EQ(listed.size(), 1u);
    expectColor(listed[0].calendar.color, c.color, "[" + c.text + "]");
  }
}

TEST(FileLayout, HasNoColourWithoutAUsableColourSource) {
  TempDir store;
  build(store,
        {dir("none"), file("blank/color", "\n#ff0000\n"), dir("isdir/color"), file("plain.ics"),
         file("zone.ics", calendarFile("BEGIN:VTIMEZONE\r\n"
                                       "X-APPLE-CALENDAR-COLOR:#ff0000\r\n"
                                       "END:VTIMEZONE\r\n"))});
  const std::vector<FileCalendar> listed = listFileCalendars(store.path());
  ASSERT_EQ(listed.size(), 5u);
  for (const FileCalendar& c : listed) EXPECT_FALSE(c.calendar.color) << c.calendar.id;
}

TEST(FileLayout, FollowsLinksAndSkipsDanglingAndLoopingOnes) {
  TempDir elsewhere;
  build(elsewhere, {file("team/a.ics"), file("team/displayname", "Linked team"),
                    file("feed.ics", calendarFile("X-WR-CALNAME:Feed\r\n")), dir("acc/cal")});
  const std::string outside = elsewhere.path().string();
  expectListings({
      {"links to directories and files, under the root and inside an account",
       {link("linked", outside + "/team"), link("feed.ics", outside + "/feed.ics"),
        link("acc", outside + "/acc"), dir("own/real"), link("own/alias", outside + "/team"),
        link("own/.sub.ics", outside + "/feed.ics")},
       {"acc/cal | cal | acc:0 | dir acc/cal", "feed.ics | Feed | - | file feed.ics",
        "linked | Linked team | - | dir linked", "own/alias | Linked team | own:0 | dir own/alias",
        "own/real | real | own:0 | dir own/real"}},
      {"dangling and looping links are skipped; a linked calendar file makes a calendar",
       {link("gone", outside + "/nothing"), link("gone.ics", outside + "/nothing.ics"),
        link("loop", "loop"), link("loop.ics", "loop2.ics"), link("loop2.ics", "loop.ics"),
        dir("acc/cal"), link("acc/gone", "../nothing"), link("acc/loop.ics", "loop.ics"),
        dir("mixed/sub"), link("mixed/a.ics", outside + "/feed.ics")},
       {"acc/cal | cal | acc:0 | dir acc/cal", "mixed | mixed | - | dir mixed"}},
  });
}

TEST(FileLayout, ListsThroughALinkedRoot) {
  TempDir real;
  build(real, {file("cal/a.ics")});
  TempDir parent;
  const fs::path root = parent.path() / "calendars";
  fs::create_symlink(real.path(), root);
  ASSERT_EQ(listFileCalendars(root).size(), 1u);
  EXPECT_EQ(listFileCalendars(root)[0].path, root / "cal");
}

TEST(FileLayout, ADirectoryNamedLikeACalendarFileIsADirectory) {
  expectListings({
      {"under the root and inside an account",
       {file("x.ics/a.ics"), dir("acc/y.ics"), dir("acc/z")},
       {"acc/y.ics | y.ics | acc:0 | dir acc/y.ics", "acc/z | z | acc:0 | dir acc/z",
        "x.ics | x.ics | - | dir x.ics"}},
  });
}

TEST(FileLayout, NeverOpensAFifoAndDoesNotBlockOnOne) {
  TempDir store;
  build(store, {fifo("pipe.ics"), fifo("cal/displayname"), fifo("cal/color"), fifo("acc/p.ics"),
                dir("acc/team"), fifo("acc/displayname"), file("feed.ics")});
  auto listing = std::async(std::launch::async, [&] { return describeListing(store.path()); });
  if (listing.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the listing blocked on a FIFO";
    // Give the FIFOs writers until the listing gets through them, so that the test can end.
    while (listing.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      for (const char* p :
           {"pipe.ics", "cal/displayname", "cal/color", "acc/p.ics", "acc/displayname"}) {
        const int fd = ::open((store.path() / p).c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
      }
    }
  }
  EXPECT_EQ(listing.get(), (std::vector<std::string>{"acc/team | team | acc:0 | dir acc/team",
                                                     "cal | cal | - | dir cal",
                                                     "feed.ics | feed | - | file feed.ics"}));
}

// Every path under `root` with its size and modification time.
std::vector<std::string> snapshot(const fs::path& root) {
  std::vector<std::string> out;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    out.push_back(e.path().string() + " " + std::to_string(st.st_size) + " " +
                  std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec));
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(FileLayout, WritesNothing) {
  TempDir store;
  build(store, {file("w/t/a.ics"), file("w/displayname", "W"), file("p/color", "#ff0000"),
                file("h.ics", calendarFile("X-WR-CALNAME:H\r\n")), dir("empty")});
  const std::vector<std::string> before = snapshot(store.path());
  ASSERT_EQ(listFileCalendars(store.path()).size(), 4u);
  EXPECT_EQ(snapshot(store.path()), before);
}

TEST(FileLayout, ARootThatIsNotADirectoryIsAnEmptyStore) {
  TempDir parent;
  parent.write("calendars", "not a directory");
  EXPECT_TRUE(listFileCalendars(parent.path() / "calendars").empty());
  EXPECT_TRUE(listFileCalendars(parent.path() / "calendars" / "below").empty());
  EXPECT_TRUE(listFileCalendars(fs::path()).empty());
}

// Sets or removes environment variables for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(FileStoreRoot, UsesAnAbsoluteXdgDataHomeElseTheHomeDirectory) {
  struct Case {
    const char* xdg;  // nullptr: unset
    const char* root;
  };
  const Case cases[] = {
      {"/data/xdg", "/data/xdg/calendars"},
      {"/data/xdg/", "/data/xdg/calendars"},
      {nullptr, "/home/someone/.local/share/calendars"},
      {"", "/home/someone/.local/share/calendars"},
      {"relative/dir", "/home/someone/.local/share/calendars"},
      {"./data", "/home/someone/.local/share/calendars"},
  };
  ScopedEnv home("HOME", "/home/someone");
  for (const Case& c : cases) {
    ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
    EXPECT_EQ(fileStoreRoot().lexically_normal(), fs::path(c.root)) << (c.xdg ? c.xdg : "unset");
  }
}

TEST(FileStoreRoot, NeverResolvesAgainstTheWorkingDirectory) {
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  for (const char* home : {static_cast<const char*>(nullptr), "", "relative/home"}) {
    ScopedEnv homeVar("HOME", home);
    const fs::path root = fileStoreRoot();
    // The user database's home directory, or no store at all.
    EXPECT_TRUE(root.empty() || (root.is_absolute() && root.filename() == "calendars"))
        << root << " with HOME " << (home ? home : "unset");
  }
}

TEST(FileStoreAuthorization, GrantsReadableOrMissingRootsAndDeniesOthers) {
  TempDir parent;
  parent.mkdir("calendars");
  parent.write("file", "x");
  fs::create_symlink(parent.path() / "nothing", parent.path() / "dangling");
  fs::create_symlink(parent.path() / "calendars", parent.path() / "linked");
  fs::create_symlink("loop", parent.path() / "loop");
  struct Case {
    fs::path root;
    long status;
  };
  const Case cases[] = {
      {parent.path() / "calendars", kFullAccess},
      {parent.path() / "linked", kFullAccess},
      {parent.path() / "missing", kFullAccess},
      {parent.path() / "missing" / "calendars", kFullAccess},
      {parent.path() / "dangling", kFullAccess},
      {parent.path() / "file" / "calendars", kFullAccess},
      {fs::path(), kFullAccess},
      {parent.path() / "file", kDenied},
      {parent.path() / "loop", kDenied},
  };
  for (const Case& c : cases) EXPECT_EQ(fileStoreAuthorization(c.root), c.status) << c.root;
}

TEST(FileStoreAuthorization, DeniesARootThatCannotBeReadOrSearched) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not deny root";
  TempDir parent;
  const fs::path root = parent.mkdir("calendars");
  for (mode_t mode : {0000, 0300, 0400, 0600}) {
    ::chmod(root.c_str(), mode);
    EXPECT_EQ(fileStoreAuthorization(root), kDenied) << std::oct << mode;
  }
  ::chmod(root.c_str(), 0500);
  EXPECT_EQ(fileStoreAuthorization(root), kFullAccess);
}

TEST(FileLayout, SkipsWhatItCannotRead) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not deny root";
  TempDir store;
  build(store, {file("locked/a.ics"), file("open/displayname", "Open"), dir("open/x"),
                file("closed/displayname", "Hidden title"), file("closed/color", "#ff0000"),
                file("shut.ics", calendarFile("X-WR-CALNAME:Secret\r\n"))});
  ::chmod((store.path() / "closed/displayname").c_str(), 0);
  ::chmod((store.path() / "closed/color").c_str(), 0);
  ::chmod((store.path() / "shut.ics").c_str(), 0);
  ::chmod((store.path() / "locked").c_str(), 0);
  EXPECT_EQ(describeListing(store.path()),
            (std::vector<std::string>{
                "closed | closed | - | dir closed", "locked | locked | - | dir locked",
                "open/x | x | Open:0 | dir open/x", "shut.ics | shut | - | file shut.ics"}));
}

}  // namespace
}  // namespace velkor
