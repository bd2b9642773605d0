// The file store's layout: where it lives, who may read it, which entries become calendars and
// what they are called.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <future>

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

// A single-file calendar with `header` before its one event (whose name must not count).
Item calendarFile(std::string path, const std::string& header) {
  return file(std::move(path), "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + header +
                                   "BEGIN:VEVENT\r\nUID:1\r\nX-WR-CALNAME:Event\r\nX-APPLE-"
                                   "CALENDAR-COLOR:#ffffff\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n");
}

void build(const TempDir& store, const std::vector<Item>& items) {
  for (const Item& item : items) {
    const fs::path at = store.path() / item.path;
    fs::create_directories(at.parent_path());
    if (item.kind == Item::kFile) store.write(item.path, item.content);
    if (item.kind == Item::kDir) fs::create_directories(at);
    if (item.kind == Item::kLink) fs::create_symlink(item.content, at);
    if (item.kind == Item::kFifo) {
      ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0) << item.path;
    }
  }
}

// "id | title | account:type or - | dir or file, path", then the colour in 255ths when there is
// one: one line per calendar, so that a failing case shows the whole listing.
std::vector<std::string> describeListing(const fs::path& root) {
  std::vector<std::string> out;
  for (const FileCalendar& c : listFileCalendars(root)) {
    const Calendar& k = c.calendar;
    std::string s = k.id + " | " + k.title + " | ";
    s += k.source ? k.source->title + ":" + std::to_string(k.source->type) : "-";
    s += (c.singleFile ? " | file " : " | dir ") + c.path.lexically_relative(root).string();
    for (size_t i = 0; k.color && i < k.color->size(); ++i) {
      s += (i == 0 ? " #" : ",") + std::to_string(std::lround((*k.color)[i] * 255 * 1000));
    }
    out.push_back(s);
  }
  return out;
}

void expectListing(const std::vector<Item>& items, const std::vector<std::string>& listing) {
  TempDir store;
  build(store, items);
  EXPECT_EQ(describeListing(store.path()), listing);
}

TEST(FileLayout, TellsAccountsFromCalendarsAndReadsNothingDeeper) {
  expectListing(
      {file("work/team/a.ics"),
       file("work/projects/b.ics"),
       dir("work/empty"),
       dir("work/y.ics"),
       file("work/notes.txt", "x"),
       file("work/displayname", "Work"),
       file("work/team/deep/c.ics"),
       file("personal/a.ics"),
       file("personal/sub/x.ics"),
       dir("personal/sub/deeper"),
       file("mixed/export.ics"),
       dir("mixed/team"),
       file("notes/readme.txt", "hello"),
       dir("empty"),
       file("holidays.ics"),
       file("README", "x"),
       file("upper.ICS"),
       file("ics"),
       file("x.ics.bak"),
       file("x.ics/a.ics")},
      {"empty | empty | - | dir empty", "holidays.ics | holidays | - | file holidays.ics",
       "mixed | mixed | - | dir mixed", "notes | notes | - | dir notes",
       "personal | personal | - | dir personal", "work/empty | empty | Work:0 | dir work/empty",
       "work/projects | projects | Work:0 | dir work/projects",
       "work/team | team | Work:0 | dir work/team", "work/y.ics | y.ics | Work:0 | dir work/y.ics",
       "x.ics | x.ics | - | dir x.ics"});
  expectListing({}, {});  // a missing root is an empty store
}

TEST(FileLayout, IgnoresHiddenEntriesEverywhere) {
  expectListing(
      {file(".hidden/a.ics"), file(".x.ics"), dir("cal/.git/objects"), file("cal/.old.ics"),
       file("acc/.cache.ics"), dir("acc/visible"), dir("acc/.hidden")},
      {"acc/visible | visible | acc:0 | dir acc/visible", "cal | cal | - | dir cal"});
}

TEST(FileLayout, OrdersByNameBytesDepthFirst) {
  expectListing({dir("a/y"), dir("a/x"), dir("\xC3\xA9t\xC3\xA9"), file("b.ics"), dir("_u"),
                 dir("Z"), dir("a/M"), dir("ab"), dir("abc")},
                {"Z | Z | - | dir Z", "_u | _u | - | dir _u", "a/M | M | a:0 | dir a/M",
                 "a/x | x | a:0 | dir a/x", "a/y | y | a:0 | dir a/y", "ab | ab | - | dir ab",
                 "abc | abc | - | dir abc", "b.ics | b | - | file b.ics",
                 "\xC3\xA9t\xC3\xA9 | \xC3\xA9t\xC3\xA9 | - | dir \xC3\xA9t\xC3\xA9"});
}

// Invalid bytes are escaped one by one; a valid sequence right after one survives.
TEST(FileLayout, EscapesCommasPercentAndInvalidUtf8InIdentifiers) {
  expectListing(
      {dir("a,b"), dir("100%"), file("x,y.ics"), dir("bad\xFF"), dir("cut\xE2\x82"),
       dir("over\xC0\xAF"), dir("sur\xED\xA0\x80"), dir("big\xF4\x90\x80\x80"),
       dir("e\xC3\xA9\xF0\x9F\x98\x80"), dir("x\xF0\xE2\x82\xAC"), file("my,acc/50%/a.ics"),
       dir("my,acc/r\xFF")},
      {"100%25 | 100% | - | dir 100%", "a%2Cb | a,b | - | dir a,b",
       "bad%FF | bad\xFF | - | dir bad\xFF",
       "big%F4%90%80%80 | big\xF4\x90\x80\x80 | - | dir big\xF4\x90\x80\x80",
       "cut%E2%82 | cut\xE2\x82 | - | dir cut\xE2\x82",
       "e\xC3\xA9\xF0\x9F\x98\x80 | e\xC3\xA9\xF0\x9F\x98\x80 | - | dir e\xC3\xA9\xF0\x9F\x98\x80",
       "my%2Cacc/50%25 | 50% | my,acc:0 | dir my,acc/50%",
       "my%2Cacc/r%FF | r\xFF | my,acc:0 | dir my,acc/r\xFF",
       "over%C0%AF | over\xC0\xAF | - | dir over\xC0\xAF",
       "sur%ED%A0%80 | sur\xED\xA0\x80 | - | dir sur\xED\xA0\x80",
       "x%2Cy.ics | x,y | - | file x,y.ics",
       "x%F0\xE2\x82\xAC | x\xF0\xE2\x82\xAC | - | dir x\xF0\xE2\x82\xAC"});
}

TEST(FileLayout, TakesTitlesFromTheFirstLineOfDisplaynameElseFromTheName) {
  const std::string longLine(100000, 'y');
  expectListing(
      {file("a/displayname", "Team\r\nsecond line\n"), file("b/displayname", " Spaced \n"),
       file("c/displayname", "No line end"), file("d/displayname", ""),
       file("e/displayname", "\r\nSecond\n"), link("f/displayname", "nowhere"),
       file("g/displayname", std::string(3 << 20, 'g')), file("h/displayname", longLine + "\nx"),
       file("w/displayname", "Work\nignored"), file("w/t/displayname", "Team"), dir("w/u"),
       file("x/displayname", ""), dir("x/c")},
      {"a | Team | - | dir a", "b |  Spaced  | - | dir b", "c | No line end | - | dir c",
       "d | d | - | dir d", "e | e | - | dir e", "f | f | - | dir f", "g | g | - | dir g",
       "h | " + longLine + " | - | dir h", "w/t | Team | Work:0 | dir w/t",
       "w/u | u | Work:0 | dir w/u", "x/c | c | x:0 | dir x/c"});
}

TEST(FileLayout, TakesTheTitleOfACalendarFileFromItsOwnCalendarName) {
  // A long zone block first, so that the name comes well after the first read.
  std::string padded = "BEGIN:VTIMEZONE\r\n";
  for (int i = 0; i < 3000; ++i) padded += "COMMENT:padding line " + std::to_string(i) + "\r\n";
  padded += "END:VTIMEZONE\r\nX-WR-CALNAME:Far \r\n away\r\n";
  expectListing(
      {calendarFile("a.ics", "X-WR-CALNAME;VALUE=TEXT;X-Q=\"a:b\":Params\r\n"),
       calendarFile("b.ics", "x-wr-calname:Fol\r\n ded \r\n\tacross\r\n"),
       calendarFile("c.ics", "X-WR-CALNAME:A\\, B\\; C\\\\ D\\nE\\NF \\x\r\n"),
       file("d.ics",
            "\xEF\xBB\xBF"
            "BEGIN:VCALENDAR\nX-WR-CALNAME:Bom and LF\nEND:VCALENDAR"),
       calendarFile("e.ics", "X-WR-CALNAME:First\r\nX-WR-CALNAME:Second\r\n"),
       calendarFile("f.ics", padded), calendarFile("g.ics", ""),
       calendarFile("h.ics", "BEGIN:VTIMEZONE\r\nX-WR-CALNAME:Zone\r\nEND:VTIMEZONE\r\n"),
       calendarFile("i.ics", "X-WR-CALNAME:\r\n"), file("j.ics", ""),
       file("k.ics", "not a calendar at all\n\n:\n;\n")},
      {"a.ics | Params | - | file a.ics", "b.ics | Folded across | - | file b.ics",
       "c.ics | A, B; C\\ D\nE\nF \\x | - | file c.ics", "d.ics | Bom and LF | - | file d.ics",
       "e.ics | First | - | file e.ics", "f.ics | Far away | - | file f.ics",
       "g.ics | g | - | file g.ics", "h.ics | h | - | file h.ics", "i.ics | i | - | file i.ics",
       "j.ics | j | - | file j.ics", "k.ics | k | - | file k.ics"});
}

// Colours in thousandths of a 255th: exact values show as whole 255ths.
TEST(FileLayout, ReadsColoursFromTheColorFileOrTheCalendarFile) {
  const std::pair<std::string, std::string> cases[] = {
      {"#FF8000", " #255000,128000,0,255000"},
      {"#ff8000cc", " #255000,128000,0,204000"},
      {"  #aBcDeF \t", " #171000,205000,239000,255000"},
      {"#00000000", " #0,0,0,0"},
      {"#0f0", ""},
      {"ff8000", ""},
      {"#GG0000", ""},
      {"#ff80001", ""},
      {"#ff8000 x", ""},
      {"# ff8000", ""},
      {"#ff80-00", ""},
      {"", ""}};
  std::vector<Item> items = {file("n/color", "\n#ff0000\n"), dir("o/color"), file("o/x.ics"),
                             calendarFile("p.ics",
                                          "BEGIN:VTIMEZONE\r\nX-APPLE-CALENDAR-COLOR:"
                                          "#ff0000\r\nEND:VTIMEZONE\r\n")};
  std::vector<std::string> listing = {"n | n | - | dir n", "o | o | - | dir o",
                                      "p.ics | p | - | file p.ics"};
  char name = 'a';
  for (const auto& [text, color] : cases) {
    items.push_back(file(std::string(1, name) + "/color", text + "\r\nsecond line\n"));
    items.push_back(
        calendarFile(std::string(1, name) + ".ics", "X-APPLE-CALENDAR-COLOR:" + text + "\r\n"));
    listing.push_back(std::string(1, name) + " | " + name + " | - | dir " + name + color);
    listing.push_back(std::string(1, name) + ".ics | " + name + " | - | file " + name + ".ics" +
                      color);
    ++name;
  }
  std::sort(listing.begin(), listing.end());
  expectListing(items, listing);
}

TEST(FileLayout, FollowsLinksAndSkipsDanglingAndLoopingOnes) {
  TempDir elsewhere;
  build(elsewhere, {file("team/a.ics"), file("team/displayname", "Linked team"),
                    calendarFile("feed.ics", "X-WR-CALNAME:Feed\r\n"), dir("acc/cal")});
  const std::string outside = elsewhere.path().string();
  expectListing({link("linked", outside + "/team"), link("feed.ics", outside + "/feed.ics"),
                 link("acc", outside + "/acc"), dir("own/real"),
                 link("own/alias", outside + "/team"), link("own/.sub.ics", outside + "/feed.ics"),
                 link("gone", outside + "/nothing"), link("gone.ics", outside + "/nothing.ics"),
                 link("loop", "loop"), link("loop.ics", "loop2.ics"), link("loop2.ics", "loop.ics"),
                 link("own/gone", "../nothing"), link("own/loop.ics", "loop.ics"), dir("mixed/sub"),
                 link("mixed/a.ics", outside + "/feed.ics")},
                {"acc/cal | cal | acc:0 | dir acc/cal", "feed.ics | Feed | - | file feed.ics",
                 "linked | Linked team | - | dir linked", "mixed | mixed | - | dir mixed",
                 "own/alias | Linked team | own:0 | dir own/alias",
                 "own/real | real | own:0 | dir own/real"});
  // The root itself may be a link.
  TempDir parent;
  fs::create_symlink(elsewhere.path(), parent.path() / "calendars");
  EXPECT_EQ(describeListing(parent.path() / "calendars").size(), 3u);
}

TEST(FileLayout, NeverOpensAFifoAndDoesNotBlockOnOne) {
  TempDir store;
  const char* fifos[] = {"pipe.ics", "cal/displayname", "cal/color", "acc/p.ics",
                         "acc/displayname"};
  for (const char* f : fifos) build(store, {fifo(f)});
  build(store, {dir("acc/team"), file("feed.ics")});
  auto listing = std::async(std::launch::async, [&] { return describeListing(store.path()); });
  if (listing.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the listing blocked on a FIFO";
    // Give the FIFOs writers until the listing gets through them, so that the test can end.
    while (listing.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      for (const char* f : fifos)
        ::close(::open((store.path() / f).c_str(), O_WRONLY | O_NONBLOCK));
    }
  }
  EXPECT_EQ(listing.get(), (std::vector<std::string>{"acc/team | team | acc:0 | dir acc/team",
                                                     "cal | cal | - | dir cal",
                                                     "feed.ics | feed | - | file feed.ics"}));
}

TEST(FileLayout, SkipsWhatItCannotRead) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not deny root";
  TempDir store;
  build(store, {file("locked/a.ics"), file("open/displayname", "Open"), dir("open/x"),
                file("closed/displayname", "Hidden title"), file("closed/color", "#ff0000"),
                calendarFile("shut.ics", "X-WR-CALNAME:Secret\r\n")});
  for (const char* p : {"closed/displayname", "closed/color", "shut.ics", "locked"}) {
    ::chmod((store.path() / p).c_str(), 0);
  }
  EXPECT_EQ(describeListing(store.path()),
            (std::vector<std::string>{
                "closed | closed | - | dir closed", "locked | locked | - | dir locked",
                "open/x | x | Open:0 | dir open/x", "shut.ics | shut | - | file shut.ics"}));
}

// Sets or removes an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) ::setenv(name, value, 1);
    if (value == nullptr) ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    if (!old_) ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(FileStoreRoot, UsesAnAbsoluteXdgDataHomeElseTheHomeDirectory) {
  const std::pair<const char*, const char*> cases[] = {
      {"/data/xdg/", "/data/xdg/calendars"},
      {nullptr, "/home/someone/.local/share/calendars"},
      {"", "/home/someone/.local/share/calendars"},
      {"relative/dir", "/home/someone/.local/share/calendars"}};
  ScopedEnv home("HOME", "/home/someone");
  for (const auto& [xdg, root] : cases) {
    ScopedEnv scoped("XDG_DATA_HOME", xdg);
    EXPECT_EQ(fileStoreRoot().lexically_normal(), fs::path(root)) << (xdg ? xdg : "unset");
  }
  // Without a usable HOME: the user database's home directory, or no store at all; never a path
  // relative to the working directory.
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  for (const char* value : {static_cast<const char*>(nullptr), "", "relative/home"}) {
    ScopedEnv scoped("HOME", value);
    const fs::path root = fileStoreRoot();
    EXPECT_TRUE(root.empty() || (root.is_absolute() && root.filename() == "calendars")) << root;
  }
}

TEST(FileStoreAuthorization, GrantsReadableOrMissingRootsAndDeniesOthers) {
  TempDir parent;
  build(parent, {dir("calendars"), file("file", "x"), link("dangling", "nothing"),
                 link("linked", "calendars"), link("loop", "loop")});
  const std::pair<fs::path, long> cases[] = {{"calendars", kFullAccess},
                                             {"linked", kFullAccess},
                                             {"missing/calendars", kFullAccess},
                                             {"dangling", kFullAccess},
                                             {"file/calendars", kFullAccess},
                                             {"file", kDenied},
                                             {"loop", kDenied}};
  for (const auto& [root, status] : cases) {
    EXPECT_EQ(fileStoreAuthorization(parent.path() / root), status) << root;
  }
  EXPECT_EQ(fileStoreAuthorization(fs::path()), kFullAccess);
  // A root that is not a directory lists nothing.
  EXPECT_TRUE(listFileCalendars(parent.path() / "file").empty());
  EXPECT_TRUE(listFileCalendars(fs::path()).empty());
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not deny root";
  const fs::path root = parent.path() / "calendars";
  for (mode_t mode : {0000, 0300, 0600}) {
    ::chmod(root.c_str(), mode);
    EXPECT_EQ(fileStoreAuthorization(root), kDenied) << std::oct << mode;
  }
  ::chmod(root.c_str(), 0500);
  EXPECT_EQ(fileStoreAuthorization(root), kFullAccess);
}

}  // namespace
}  // namespace velkor
