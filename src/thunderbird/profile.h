// Where Thunderbird keeps a user's profile: its base folder (plain, snap or Flatpak) and, in it,
// the profile that installs.ini or profiles.ini names.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor {

struct IniSection {
  std::string name;                                         // between the brackets
  std::vector<std::pair<std::string, std::string>> values;  // key=value, in file order
  // The value of `key`, or none.
  std::optional<std::string> get(std::string_view key) const;
};

// The sections of an .ini text; lines that are neither a section nor key=value are skipped.
std::vector<IniSection> parseIni(std::string_view text);

// The profile the base folder's installs.ini names, else the one of profiles.ini's [Install...]
// sections, else its [Profile...] marked Default=1: the first of them that is a folder holding
// prefs.js. Relative paths are below `base`.
std::optional<std::filesystem::path> profileIn(const std::filesystem::path& base);

// The first usable profile below `home`: ~/.thunderbird, then snap's, then Flatpak's.
std::optional<std::filesystem::path> findProfile(const std::filesystem::path& home);

// $HOME, else the password database's home of this user; none when neither names a folder.
std::optional<std::filesystem::path> userHome();

}  // namespace velkor
