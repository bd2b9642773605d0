// Where the file store lives, who may read it, and which calendars it holds.
//
// The listing runs on every `calendars` and `events` run, so it reads as little as it can: one
// directory listing per account and per calendar directory (stopping at the first *.ics file),
// the small `displayname` and `color` files, and the header of each single-file calendar.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "filestore/calendar_props.h"
#include "filestore/files.h"
#include "filestore/filestore.h"
#include "store/color_text.h"
#include "store/identifier.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;

EntryType entryTypeOf(const fs::path& dir, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return EntryType::kDirectory;
    case DT_REG:
      return EntryType::kRegular;
    case DT_LNK:
    case DT_UNKNOWN:
      return entryTypeAt(dir / entry.d_name);
    default:
      return EntryType::kOther;
  }
}

bool hidden(std::string_view name) { return name.empty() || name.front() == '.'; }

bool icsName(std::string_view name) {
  constexpr std::string_view kSuffix = ".ics";
  return name.size() > kSuffix.size() && name.substr(name.size() - kSuffix.size()) == kSuffix;
}

// A directory as the file system knows it, whatever names lead to it.
using DirectoryId = std::pair<dev_t, ino_t>;

std::optional<DirectoryId> directoryId(const fs::path& dir) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return DirectoryId{st.st_dev, st.st_ino};
}

struct Entry {
  std::string name;
  EntryType kind;
  DirectoryId id{};  // of a directory
};

// The visible directories and regular files of `dir`, ordered by the bytes of their names.
std::vector<Entry> entriesOf(const fs::path& dir) {
  std::vector<Entry> out;
  DirHandle handle(::opendir(dir.c_str()));
  if (!handle) return out;
  while (const dirent* entry = ::readdir(handle.get())) {
    if (hidden(entry->d_name)) continue;
    EntryType kind = entryTypeOf(dir, *entry);
    DirectoryId id{};
    if (kind == EntryType::kDirectory) {
      // Links may lead to a directory met before: it is told by its device and inode.
      const std::optional<DirectoryId> found = directoryId(dir / entry->d_name);
      if (found) id = *found;
      if (!found) kind = EntryType::kOther;  // gone meanwhile
    }
    if (kind != EntryType::kOther) out.push_back({entry->d_name, kind, id});
  }
  // std::string compares as unsigned bytes, which is the order wanted here.
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return out;
}

// An account holds calendar directories and no calendar files of its own. Stops at the first
// *.ics file, which in a calendar directory is almost always the first entry read.
bool isAccount(const fs::path& dir) {
  DirHandle handle(::opendir(dir.c_str()));
  if (!handle) return false;
  bool subdirectory = false;
  while (const dirent* entry = ::readdir(handle.get())) {
    if (hidden(entry->d_name)) continue;
    const bool ics = icsName(entry->d_name);
    if (!ics && subdirectory) continue;  // only an *.ics file could still change the answer
    const EntryType kind = entryTypeOf(dir, *entry);
    if (ics && kind == EntryType::kRegular) return false;
    if (kind == EntryType::kDirectory) subdirectory = true;
  }
  return subdirectory;
}

std::string identifier(std::string_view account, std::string_view name) {
  std::string out;
  if (!account.empty()) {
    appendIdentifierPart(out, account);
    out.push_back('/');
  }
  appendIdentifierPart(out, name);
  return out;
}

FileCalendar directoryCalendar(const fs::path& dir, std::string_view account,
                               const std::string& name, const std::optional<Source>& source) {
  FileCalendar c;
  c.calendar.id = identifier(account, name);
  c.calendar.title = displayName(dir).value_or(name);
  c.calendar.source = source;
  c.calendar.color = colorFile(dir);
  c.path = dir;
  return c;
}

// A calendar file directly under the root; it has no account.
FileCalendar fileCalendar(const fs::path& file, const std::string& name) {
  const CalendarHeader header = readHeader(file);
  FileCalendar c;
  c.calendar.id = identifier({}, name);
  c.calendar.title = header.name && !header.name->empty()
                         ? *header.name
                         : name.substr(0, name.size() - std::string_view(".ics").size());
  if (header.color) c.calendar.color = parseColor(*header.color);
  c.path = file;
  c.singleFile = true;
  return c;
}

// The home directory from the environment, or from the user database when HOME is not usable.
std::optional<fs::path> homeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return fs::path(home);
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return fs::path(found->pw_dir);
  }
  return std::nullopt;
}

}  // namespace

fs::path fileStoreRoot() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return fs::path(xdg) / "calendars";
  const std::optional<fs::path> home = homeDirectory();
  // With no home at all there is no store; an empty path lists nothing.
  if (!home) return {};
  return *home / ".local/share/calendars";
}

AccessState fileStoreAuthorization(const fs::path& root) {
  struct stat st {};
  if (root.empty()) return AccessState::kFullAccess;
  if (::stat(root.c_str(), &st) != 0) {
    // Nothing there (or a file where a parent directory should be): an empty store.
    return errno == ENOENT || errno == ENOTDIR ? AccessState::kFullAccess : AccessState::kDenied;
  }
  if (!S_ISDIR(st.st_mode)) return AccessState::kDenied;
  return ::access(root.c_str(), R_OK | X_OK) == 0 ? AccessState::kFullAccess : AccessState::kDenied;
}

std::vector<FileCalendar> listFileCalendars(const fs::path& root) {
  std::vector<FileCalendar> out;
  if (root.empty()) return out;
  // A directory reached again through a link is not entered again: the name that comes first
  // in the walk (each directory's entries in byte order) stands, so no event is read twice and
  // a link back up ends.
  std::set<DirectoryId> seen;
  if (const std::optional<DirectoryId> id = directoryId(root)) seen.insert(*id);
  for (const Entry& top : entriesOf(root)) {
    const fs::path path = root / top.name;
    if (top.kind == EntryType::kRegular) {
      if (icsName(top.name)) out.push_back(fileCalendar(path, top.name));
      continue;
    }
    if (!seen.insert(top.id).second) continue;
    if (!isAccount(path)) {
      out.push_back(directoryCalendar(path, {}, top.name, std::nullopt));
      continue;
    }
    // An account has no *.ics file of its own (else it would be a calendar), so only its
    // directories are calendars.
    const Source source{displayName(path).value_or(top.name), AccountKind::kLocal};
    for (const Entry& inner : entriesOf(path)) {
      if (inner.kind == EntryType::kDirectory && seen.insert(inner.id).second) {
        out.push_back(directoryCalendar(path / inner.name, top.name, inner.name, source));
      }
    }
  }
  return out;
}

}  // namespace velkor
