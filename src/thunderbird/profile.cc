#include "thunderbird/profile.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "base/files.h"

namespace velkor {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kIniLimit = std::size_t{1} << 20;

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

bool usable(const fs::path& profile) {
  return entryTypeAt(profile) == EntryType::kDirectory &&
         entryTypeAt(profile / "prefs.js") == EntryType::kRegular;
}

fs::path below(const fs::path& base, const std::string& path, bool relative) {
  const fs::path p(path);
  return relative || p.is_relative() ? base / p : p;
}

// Candidates in the order Thunderbird itself prefers them.
std::vector<fs::path> candidates(const fs::path& base) {
  std::vector<fs::path> out;
  if (auto text = readSmallFile(base / "installs.ini", kIniLimit)) {
    for (const IniSection& s : parseIni(*text)) {
      if (auto d = s.get("Default"); d && !d->empty()) out.push_back(below(base, *d, false));
    }
  }
  if (auto text = readSmallFile(base / "profiles.ini", kIniLimit)) {
    const std::vector<IniSection> sections = parseIni(*text);
    for (const IniSection& s : sections) {
      if (!startsWith(s.name, "Install")) continue;
      if (auto d = s.get("Default"); d && !d->empty()) out.push_back(below(base, *d, false));
    }
    for (const IniSection& s : sections) {
      if (!startsWith(s.name, "Profile") || s.get("Default") != "1") continue;
      if (auto p = s.get("Path"); p && !p->empty()) {
        out.push_back(below(base, *p, s.get("IsRelative") == "1"));
      }
    }
  }
  return out;
}

}  // namespace

std::optional<std::string> IniSection::get(std::string_view key) const {
  for (const auto& [k, v] : values) {
    if (k == key) return v;
  }
  return std::nullopt;
}

std::vector<IniSection> parseIni(std::string_view text) {
  std::vector<IniSection> out;
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    std::string_view line = trimmed(text.substr(0, eol));
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() == ']') out.push_back({std::string(line.substr(1, line.size() - 2)), {}});
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || out.empty()) continue;
    out.back().values.emplace_back(std::string(trimmed(line.substr(0, eq))),
                                   std::string(trimmed(line.substr(eq + 1))));
  }
  return out;
}

std::optional<fs::path> profileIn(const fs::path& base) {
  if (entryTypeAt(base) != EntryType::kDirectory) return std::nullopt;
  for (const fs::path& p : candidates(base)) {
    if (usable(p)) return p;
  }
  return std::nullopt;
}

std::optional<fs::path> findProfile(const fs::path& home) {
  for (const char* base : {".thunderbird", "snap/thunderbird/common/.thunderbird",
                           ".var/app/org.mozilla.Thunderbird/.thunderbird"}) {
    if (auto p = profileIn(home / base)) return p;
  }
  return std::nullopt;
}

std::optional<fs::path> userHome() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  struct passwd pw {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return fs::path(found->pw_dir);
  }
  return std::nullopt;
}

}  // namespace velkor
