// The file store's layout: where it lives, who may read it, which entries become calendars and
// what they are called.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <future>

#include "filestore/filestore.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;
using testing::TempDir;

constexpr const char* kIcs = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nEND:VCALENDAR\r\n";

// A single-file calendar with `header` before its one event (whose properties must not count).
std::string calendarText(const std::string& header) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + header +
         "BEGIN:VEVENT\r\nUID:1\r\nX-WR-CALNAME:Event\r\nX-APPLE-CALENDAR-COLOR:#ffffff\r\n"
         "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

// Builds a store from items written "kind:path[=content]": d a directory, f a file (an empty
// calendar unless content is given), c a calendar file with the content as its header, l a link
// to the content, p a FIFO.
void build(const fs::path& root, const std::vector<std::string>& items) {
  for (const std::string& item : items) {
    const size_t eq = item.find('=');
    const fs::path at = root / item.substr(2, eq == std::string::npos ? eq : eq - 2);
    const std::string content = eq == std::string::npos ? "" : item.substr(eq + 1);
    fs::create_directories(at.parent_path());
    if (item[0] == 'd') fs::create_directories(at);
    if (item[0] == 'l') fs::create_symlink(content, at);
    if (item[0] == 'p') {
      ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0) << item;
    }
    if (item[0] == 'f' || item[0] == 'c') {
      std::ofstream(at, std::ios::binary) << (item[0] == 'c'            ? calendarText(content)
                                              : eq == std::string::npos ? kIcs
                                                                        : content);
    }
  }
}

// "id|title|account:type or -|d or f:path", then the colour in thousandths of a 255th when there
// is one: one line per calendar, so that a failing case shows the whole listing.
std::vector<std::string> describeListing(const fs::path& root) {
  std::vector<std::string> out;
  for (const FileCalendar& c : listFileCalendars(root)) {
    const Calendar& k = c.calendar;
    std::string s = k.id + "|" + k.title + "|";
    s += k.source ? k.source->title + ":" + std::to_string(k.source->type) : "-";
    s += (c.singleFile ? "|f:" : "|d:") + c.path.lexically_relative(root).string();
    for (size_t i = 0; k.color && i < k.color->size(); ++i) {
      s += (i == 0 ? " #" : ",") + std::to_string(std::lround((*k.color)[i] * 255 * 1000));
    }
    out.push_back(s);
  }
  return out;
}

void expectListing(const std::vector<std::string>& items, const std::vector<std::string>& listing) {
  TempDir store;
  build(store.path(), items);
  EXPECT_EQ(describeListing(store.path()), listing);
}

TEST(FileLayout, TellsAccountsFromCalendarsAndReadsNothingDeeper) {
  expectListing(
      {"f:work/team/a.ics",
       "f:work/projects/b.ics",
       "d:work/empty",
       "d:work/y.ics",
       "f:work/notes.txt=x",
       "f:work/displayname=Work",
       "f:work/team/deep/c.ics",
       "f:personal/a.ics",
       "f:personal/sub/x.ics",
       "d:personal/sub/deeper",
       "f:mixed/export.ics",
       "d:mixed/team",
       "f:notes/readme.txt=hello",
       "d:empty",
       "f:holidays.ics",
       "f:README=x",
       "f:upper.ICS",
       "f:ics",
       "f:x.ics.bak",
       "f:x.ics/a.ics"},
      {"empty|empty|-|d:empty", "holidays.ics|holidays|-|f:holidays.ics", "mixed|mixed|-|d:mixed",
       "notes|notes|-|d:notes", "personal|personal|-|d:personal",
       "work/empty|empty|Work:0|d:work/empty", "work/projects|projects|Work:0|d:work/projects",
       "work/team|team|Work:0|d:work/team", "work/y.ics|y.ics|Work:0|d:work/y.ics",
       "x.ics|x.ics|-|d:x.ics"});
  expectListing({}, {});  // a missing root is an empty store
}

TEST(FileLayout, IgnoresHiddenEntriesEverywhere) {
  expectListing({"f:.hidden/a.ics", "f:.x.ics", "d:cal/.git/objects", "f:cal/.old.ics",
                 "f:acc/.cache.ics", "d:acc/visible", "d:acc/.hidden"},
                {"acc/visible|visible|acc:0|d:acc/visible", "cal|cal|-|d:cal"});
}

TEST(FileLayout, OrdersByNameBytesDepthFirst) {
  expectListing(
      {"d:a/y", "d:a/x", "d:\xC3\xA9t\xC3\xA9", "f:b.ics", "d:_u", "d:Z", "d:a/M", "d:ab", "d:abc"},
      {"Z|Z|-|d:Z", "_u|_u|-|d:_u", "a/M|M|a:0|d:a/M", "a/x|x|a:0|d:a/x", "a/y|y|a:0|d:a/y",
       "ab|ab|-|d:ab", "abc|abc|-|d:abc", "b.ics|b|-|f:b.ics",
       "\xC3\xA9t\xC3\xA9|\xC3\xA9t\xC3\xA9|-|d:\xC3\xA9t\xC3\xA9"});
}

// Invalid bytes are escaped one by one; a valid sequence right after one survives.
TEST(FileLayout, EscapesCommasPercentAndInvalidUtf8InIdentifiers) {
  expectListing(
      {"d:a,b", "d:100%", "f:x,y.ics", "d:bad\xFF", "d:cut\xE2\x82", "d:over\xC0\xAF",
       "d:sur\xED\xA0\x80", "d:big\xF4\x90\x80\x80", "d:e\xC3\xA9\xF0\x9F\x98\x80",
       "d:x\xF0\xE2\x82\xAC", "f:my,acc/50%/a.ics", "d:my,acc/r\xFF"},
      {"100%25|100%|-|d:100%", "a%2Cb|a,b|-|d:a,b", "bad%FF|bad\xFF|-|d:bad\xFF",
       "big%F4%90%80%80|big\xF4\x90\x80\x80|-|d:big\xF4\x90\x80\x80",
       "cut%E2%82|cut\xE2\x82|-|d:cut\xE2\x82",
       "e\xC3\xA9\xF0\x9F\x98\x80|e\xC3\xA9\xF0\x9F\x98\x80|-|d:e\xC3\xA9\xF0\x9F\x98\x80",
       "my%2Cacc/50%25|50%|my,acc:0|d:my,acc/50%", "my%2Cacc/r%FF|r\xFF|my,acc:0|d:my,acc/r\xFF",
       "over%C0%AF|over\xC0\xAF|-|d:over\xC0\xAF",
       "sur%ED%A0%80|sur\xED\xA0\x80|-|d:sur\xED\xA0\x80", "x%2Cy.ics|x,y|-|f:x,y.ics",
       "x%F0\xE2\x82\xAC|x\xF0\xE2\x82\xAC|-|d:x\xF0\xE2\x82\xAC"});
}

TEST(FileLayout, TakesTitlesFromTheFirstLineOfDisplaynameElseFromTheName) {
  const std::string longLine(100000, 'y');
  expectListing({"f:a/displayname=Team\r\nsecond line\n", "f:b/displayname= Spaced \n",
                 "f:c/displayname=No line end", "f:d/displayname=", "f:e/displayname=\r\nSecond\n",
                 "l:f/displayname=nowhere", "f:g/displayname=" + std::string(3 << 20, 'g'),
                 "f:h/displayname=" + longLine + "\nx", "f:w/displayname=Work\nignored",
                 "f:w/t/displayname=Team", "d:w/u", "f:x/displayname=", "d:x/c"},
                {"a|Team|-|d:a", "b| Spaced |-|d:b", "c|No line end|-|d:c", "d|d|-|d:d",
                 "e|e|-|d:e", "f|f|-|d:f", "g|g|-|d:g", "h|" + longLine + "|-|d:h",
                 "w/t|Team|Work:0|d:w/t", "w/u|u|Work:0|d:w/u", "x/c|c|x:0|d:x/c"});
}

TEST(FileLayout, TakesTheTitleOfACalendarFileFromItsOwnCalendarName) {
  // A long zone block first, so that the name comes well after the first read.
  std::string padded = "BEGIN:VTIMEZONE\r\n";
  for (int i = 0; i < 3000; ++i) padded += "COMMENT:padding line " + std::to_string(i) + "\r\n";
  expectListing(
      {"c:a.ics=X-WR-CALNAME;VALUE=TEXT;X-Q=\"a:b\":Params\r\n",
       "c:b.ics=x-wr-calname:Fol\r\n ded \r\n\tacross\r\n",
       "c:c.ics=X-WR-CALNAME:A\\, B\\; C\\\\ D\\nE\\NF \\x\r\n",
       "f:d.ics=\xEF\xBB\xBF"
       "BEGIN:VCALENDAR\nX-WR-CALNAME:Bom and LF\nEND:VCALENDAR",
       "c:e.ics=X-WR-CALNAME:First\r\nX-WR-CALNAME:Second\r\n",
       "c:f.ics=" + padded + "END:VTIMEZONE\r\nX-WR-CALNAME:Far \r\n away\r\n",
       "c:g.ics=", "c:h.ics=BEGIN:VTIMEZONE\r\nX-WR-CALNAME:Zone\r\nEND:VTIMEZONE\r\n",
       "c:i.ics=X-WR-CALNAME:\r\n", "f:j.ics=", "f:k.ics=not a calendar at all\n\n:\n;\n"},
      {"a.ics|Params|-|f:a.ics", "b.ics|Folded across|-|f:b.ics",
       "c.ics|A, B; C\\ D\nE\nF \\x|-|f:c.ics", "d.ics|Bom and LF|-|f:d.ics",
       "e.ics|First|-|f:e.ics", "f.ics|Far away|-|f:f.ics", "g.ics|g|-|f:g.ics",
       "h.ics|h|-|f:h.ics", "i.ics|i|-|f:i.ics", "j.ics|j|-|f:j.ics", "k.ics|k|-|f:k.ics"});
}

// The same texts in a directory's `color` file and as a calendar file's colour property.
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

      {"", ""}};
  std::vector<std::string> items = {
      "f:n/color=\n#ff0000\n", "d:o/color", "f:o/x.ics",
      "c:p.ics=BEGIN:VTIMEZONE\r\nX-APPLE-CALENDAR-COLOR:#ff0000\r\nEND:VTIMEZONE\r\n"};
  std::vector<std::string> listing;
  char name = 'a';
  for (const auto& [text, color] : cases) {
    const std::string n(1, name++);
    items.push_back("f:" + n + "/color=" + text + "\r\nsecond line\n");
    items.push_back("c:" + n + ".ics=X-APPLE-CALENDAR-COLOR:" + text + "\r\n");
    listing.push_back(n + "|" + n + "|-|d:" + n + color);
    listing.push_back(n + ".ics|" + n + "|-|f:" + n + ".ics" + color);
  }
  listing.insert(listing.end(), {"n|n|-|d:n", "o|o|-|d:o", "p.ics|p|-|f:p.ics"});
  expectListing(items, listing);
}

TEST(FileLayout, FollowsLinksAndSkipsDanglingAndLoopingOnes) {
  TempDir elsewhere;
  build(elsewhere.path(), {"f:team/a.ics", "f:team/displayname=Linked team",
                           "c:feed.ics=X-WR-CALNAME:Feed\r\n", "d:acc/cal"});
  const std::string out = elsewhere.path().string();
  expectListing(
      {"l:linked=" + out + "/team", "l:feed.ics=" + out + "/feed.ics", "l:acc=" + out + "/acc",
       "d:own/real", "l:own/alias=" + out + "/team", "l:own/.sub.ics=" + out + "/feed.ics",
       "l:gone=" + out + "/nothing", "l:gone.ics=" + out + "/nothing.ics", "l:loop=loop",
       "l:loop.ics=loop2.ics", "l:loop2.ics=loop.ics", "l:own/gone=../nothing",
       "l:own/loop.ics=loop.ics", "d:mixed/sub", "l:mixed/a.ics=" + out + "/feed.ics"},
      {"acc/cal|cal|acc:0|d:acc/cal", "feed.ics|Feed|-|f:feed.ics", "linked|Linked team|-|d:linked",
       "mixed|mixed|-|d:mixed", "own/alias|Linked team|own:0|d:own/alias",
       "own/real|real|own:0|d:own/real"});
  // The root itself may be a link.
  TempDir parent;
  fs::create_symlink(elsewhere.path(), parent.path() / "calendars");
  EXPECT_EQ(describeListing(parent.path() / "calendars").size(), 3u);
}

TEST(FileLayout, NeverOpensAFifoAndDoesNotBlockOnOne) {
  TempDir store;
  const char* fifos[] = {"pipe.ics", "cal/displayname", "cal/color", "acc/p.ics",
                         "acc/displayname"};
  for (const char* f : fifos) build(store.path(), {std::string("p:") + f});
  build(store.path(), {"d:acc/team", "f:feed.ics"});
  auto listing = std::async(std::launch::async, [&] { return describeListing(store.path()); });
  if (listing.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the listing blocked on a FIFO";
    // Give the FIFOs writers until the listing gets through them, so that the test can end.
    while (listing.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      for (const char* f : fifos)
        ::close(::open((store.path() / f).c_str(), O_WRONLY | O_NONBLOCK));
    }
  }
  EXPECT_EQ(listing.get(),
            (std::vector<std::string>{"acc/team|team|acc:0|d:acc/team", "cal|cal|-|d:cal",
                                      "feed.ics|feed|-|f:feed.ics"}));
}

TEST(FileLayout, SkipsWhatItCannotRead) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not deny root";
  TempDir store;
  build(store.path(),
        {"f:locked/a.ics", "f:open/displayname=Open", "d:open/x", "f:closed/displayname=Hidden",
         "f:closed/color=#ff0000", "c:shut.ics=X-WR-CALNAME:Secret\r\n"});
  for (const char* p : {"closed/displayname", "closed/color", "shut.ics", "locked"}) {
    ::chmod((store.path() / p).c_str(), 0);
  }
  EXPECT_EQ(describeListing(store.path()),
            (std::vector<std::string>{"closed|closed|-|d:closed", "locked|locked|-|d:locked",
                                      "open/x|x|Open:0|d:open/x", "shut.ics|shut|-|f:shut.ics"}));
}

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
  build(parent.path(),
        {"d:calendars", "f:file=x", "l:dangling=nothing", "l:linked=calendars", "l:loop=loop"});
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
  if (::geteuid() == 0) return;  // permission bits do not deny root
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
