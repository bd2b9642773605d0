// Which profile is found below a home directory: installs.ini before profiles.ini, [Install...]
// before [Profile...] Default=1, relative and absolute paths, plain before snap before Flatpak,
// and only a folder holding prefs.js counts.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"
#include "thunderbird/profile.h"

namespace velkor {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kTb = ".thunderbird/";
constexpr const char* kSnap = "snap/thunderbird/common/.thunderbird/";
constexpr const char* kFlatpak = ".var/app/org.mozilla.Thunderbird/.thunderbird/";

struct Case {
  const char* name;
  Files files;           // relative to the home; "@" stands for the home's absolute path
  const char* expected;  // the profile relative to the home; empty when none
};

std::string prefsOf(const std::string& dir) { return dir + "/prefs.js"; }

TEST(ProfileDiscovery, Table) {
  const std::string tb = kTb;
  const std::vector<Case> cases = {
      {"installs.ini wins over profiles.ini's Default=1 (Thunderbird 153's empty default)",
       {{tb + "installs.ini", "[FDC34C9F024745EB]\nDefault=real.default-release\nLocked=1\n"},
        {tb + "profiles.ini",
         "[Profile1]\nName=default\nIsRelative=1\nPath=empty.default\nDefault=1\n\n"
         "[Profile0]\nName=default-release\nIsRelative=1\nPath=real.default-release\n"},
        {prefsOf(tb + "real.default-release"), ""},
        {prefsOf(tb + "empty.default"), ""}},
       ".thunderbird/real.default-release"},
      {"profiles.ini's [Install] before its Default=1",
       {{tb + "profiles.ini",
         "[Profile0]\r\nPath=a\r\nIsRelative=1\r\nDefault=1\r\n[InstallABC]\r\nDefault=b\r\n"},
        {prefsOf(tb + "a"), ""},
        {prefsOf(tb + "b"), ""}},
       ".thunderbird/b"},
      {"Default=1 alone, relative",
       {{tb + "profiles.ini",
         "[General]\nStartWithLastProfile=1\n[Profile0]\nName=x\n"
         "IsRelative=1\nPath=Profiles/x.default\nDefault=1\n"},
        {prefsOf(tb + "Profiles/x.default"), ""}},
       ".thunderbird/Profiles/x.default"},
      {"an absolute path",
       {{tb + "profiles.ini", "[Profile0]\nIsRelative=0\nPath=@/elsewhere/p\nDefault=1\n"},
        {prefsOf("elsewhere/p"), ""}},
       "elsewhere/p"},
      {"a profile that is not marked default is not taken",
       {{tb + "profiles.ini", "[Profile0]\nIsRelative=1\nPath=a\n"}, {prefsOf(tb + "a"), ""}},
       ""},
      {"installs.ini naming a folder without prefs.js falls back to profiles.ini",
       {{tb + "installs.ini", "[X]\nDefault=gone\n"},
        {tb + "gone/times.json", "{}"},
        {tb + "profiles.ini", "[Profile0]\nIsRelative=1\nPath=a\nDefault=1\n"},
        {prefsOf(tb + "a"), ""}},
       ".thunderbird/a"},
      {"garbled ini files find nothing",
       {{tb + "installs.ini", std::string("\x00\xff[[[=\n=Default", 15)},
        {tb + "profiles.ini", "Default=1\nPath=a\n[Profile0\n"},
        {prefsOf(tb + "a"), ""}},
       ""},
      {"snap when the plain folder has no usable profile",
       {{tb + "profiles.ini", "[Profile0]\nIsRelative=1\nPath=a\nDefault=1\n"},
        {std::string(kSnap) + "installs.ini", "[X]\nDefault=s\n"},
        {prefsOf(std::string(kSnap) + "s"), ""}},
       "snap/thunderbird/common/.thunderbird/s"},
      {"Flatpak last",
       {{std::string(kFlatpak) + "profiles.ini", "[Profile0]\nIsRelative=1\nPath=f\nDefault=1\n"},
        {prefsOf(std::string(kFlatpak) + "f"), ""}},
       ".var/app/org.mozilla.Thunderbird/.thunderbird/f"},
      {"the plain install before snap and Flatpak",
       {{tb + "installs.ini", "[X]\nDefault=p\n"},
        {prefsOf(tb + "p"), ""},
        {std::string(kSnap) + "installs.ini", "[X]\nDefault=s\n"},
        {prefsOf(std::string(kSnap) + "s"), ""},
        {std::string(kFlatpak) + "installs.ini", "[X]\nDefault=f\n"},
        {prefsOf(std::string(kFlatpak) + "f"), ""}},
       ".thunderbird/p"},
      {"no Thunderbird at all", {{".config/other", ""}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::TempDir home;
    for (const auto& [file, content] : c.files) {
      std::string text = content;
      for (std::size_t at = text.find('@'); at != std::string::npos; at = text.find('@')) {
        text.replace(at, 1, home.path().string());
      }
      home.write(file, text);
    }
    const std::optional<std::filesystem::path> found = findProfile(home.path());
    if (c.expected[0] == '\0') {
      EXPECT_FALSE(found) << *found;
    } else {
      ASSERT_TRUE(found);
      EXPECT_EQ(*found, home.path() / c.expected);
    }
  }
}

TEST(ProfileDiscovery, IniSectionsKeepOrderAndSkipGarbage) {
  const std::vector<IniSection> s =
      parseIni("junk before any section\n[A]\n key = v = w \n;comment\nnoequals\n[B]\r\nk=\r\n[");
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].name, "A");
  EXPECT_EQ(s[0].get("key"), "v = w");
  EXPECT_EQ(s[0].values.size(), 1u);
  EXPECT_EQ(s[1].get("k"), "");
  EXPECT_FALSE(s[1].get("key"));
}

}  // namespace
}  // namespace velkor
