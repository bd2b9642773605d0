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
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "filestore/filestore.h"
#include "output/utf8.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

enum class Kind { kOther, kDirectory, kRegular };

// What `path` is once links are followed; a dangling or looping link, or an entry that vanished,
// is "other" and is skipped like a socket or a FIFO.
Kind kindAt(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Kind::kOther;
  if (S_ISDIR(st.st_mode)) return Kind::kDirectory;
  if (S_ISREG(st.st_mode)) return Kind::kRegular;
  return Kind::kOther;
}

Kind kindOf(const fs::path& dir, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return Kind::kDirectory;
    case DT_REG:
      return Kind::kRegular;
    case DT_LNK:
    case DT_UNKNOWN:
      return kindAt(dir / entry.d_name);
    default:
      return Kind::kOther;
  }
}

bool hidden(std::string_view name) { return name.empty() || name.front() == '.'; }

bool icsName(std::string_view name) {
  constexpr std::string_view kSuffix = ".ics";
  return name.size() > kSuffix.size() && name.substr(name.size() - kSuffix.size()) == kSuffix;
}

struct Entry {
  std::string name;
  Kind kind;
};

// The visible directories and regular files of `dir`, ordered by the bytes of their names.
std::vector<Entry> entriesOf(const fs::path& dir) {
  std::vector<Entry> out;
  DirHandle handle(::opendir(dir.c_str()));
  if (!handle) return out;
  while (const dirent* entry = ::readdir(handle.get())) {
    if (hidden(entry->d_name)) continue;
    const Kind kind = kindOf(dir, *entry);
    if (kind != Kind::kOther) out.push_back({entry->d_name, kind});
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
    const Kind kind = kindOf(dir, *entry);
    if (ics && kind == Kind::kRegular) return false;
    if (kind == Kind::kDirectory) subdirectory = true;
  }
  return subdirectory;
}

// Opens `path` only when it is a regular file. The check comes before the open so that a FIFO of
// that name is never opened, and again on the descriptor in case the entry changed in between.
Fd openRegular(const fs::path& path) {
  if (kindAt(path) != Kind::kRegular) return {};
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return fd;
}

// Reads a file's lines one by one, without their line ends. A line longer than any text this
// store keeps in one line ends the reading, so that a stray huge file costs little.
class LineReader {
 public:
  explicit LineReader(Fd fd) : fd_(std::move(fd)) {}

  std::optional<std::string> next() {
    for (;;) {
      const size_t newline = buffer_.find('\n', scanned_);
      if (newline != std::string::npos) {
        std::string line = buffer_.substr(start_, newline - start_);
        start_ = scanned_ = newline + 1;
        return stripCr(std::move(line));
      }
      scanned_ = buffer_.size();
      if (scanned_ - start_ > kMaxLine) return std::nullopt;
      if (!fill()) {
        if (start_ >= buffer_.size()) return std::nullopt;
        std::string line = buffer_.substr(start_);
        start_ = scanned_ = buffer_.size();
        return stripCr(std::move(line));
      }
    }
  }

 private:
  static std::string stripCr(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  bool fill() {
    if (!fd_ || eof_) return false;
    buffer_.erase(0, start_);
    scanned_ -= start_;
    start_ = 0;
    char chunk[16384];
    for (;;) {
      const ssize_t n = ::read(fd_.get(), chunk, sizeof chunk);
      if (n > 0) {
        buffer_.append(chunk, static_cast<size_t>(n));
        return true;
      }
      if (n < 0 && errno == EINTR) continue;
      eof_ = true;
      return false;
    }
  }

  Fd fd_;
  std::string buffer_;
  static constexpr size_t kMaxLine = 1 << 20;
  size_t start_ = 0;    // where the next line begins
  size_t scanned_ = 0;  // how far the buffer is known to hold no line end
  bool eof_ = false;
};

std::optional<std::string> firstLine(const fs::path& path) {
  Fd fd = openRegular(path);
  if (!fd) return std::nullopt;
  return LineReader(std::move(fd)).next();
}

// The first line of the directory's `displayname`, when there is one and it is not empty.
std::optional<std::string> displayName(const fs::path& dir) {
  std::optional<std::string> line = firstLine(dir / "displayname");
  if (!line || line->empty()) return std::nullopt;
  return line;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "#RRGGBB" or "#RRGGBBAA" between blanks; anything else is no colour.
std::optional<SrgbComponents> parseColor(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
  if ((text.size() != 7 && text.size() != 9) || text.front() != '#') return std::nullopt;
  SrgbComponents components;
  for (size_t i = 1; i < text.size(); i += 2) {
    const int high = hexDigit(text[i]);
    const int low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    components.push_back((high * 16 + low) / 255.0);
  }
  if (components.size() == 3) components.push_back(1.0);
  return components;
}

std::optional<SrgbComponents> colorFile(const fs::path& dir) {
  const std::optional<std::string> line = firstLine(dir / "color");
  if (!line) return std::nullopt;
  return parseColor(*line);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// Undoes the text escapes of iCalendar; an unknown escape is kept as written.
std::string unescapeText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out.push_back(value[i]);
      continue;
    }
    const char next = value[i + 1];
    if (next == 'n' || next == 'N') {
      out.push_back('\n');
    } else if (next == '\\' || next == ';' || next == ',') {
      out.push_back(next);
    } else {
      out.push_back('\\');
      out.push_back(next);
    }
    ++i;
  }
  return out;
}

struct ContentLine {
  std::string_view name;
  std::string_view value;
};

// Splits "NAME;PARAM=...:VALUE"; a ':' inside a quoted parameter value does not end the name part.
std::optional<ContentLine> splitContentLine(std::string_view line) {
  const size_t nameEnd = line.find_first_of(";:");
  if (nameEnd == std::string_view::npos) return std::nullopt;
  bool quoted = false;
  for (size_t i = nameEnd; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) return ContentLine{line.substr(0, nameEnd), line.substr(i + 1)};
  }
  return std::nullopt;
}

struct CalendarHeader {
  std::optional<std::string> name;
  std::optional<std::string> color;
};

// The calendar's own name and colour properties. Only the part before the first event is read:
// exporters write calendar properties first, and the rest of the file is the search's business.
CalendarHeader readHeader(const fs::path& file) {
  CalendarHeader header;
  LineReader reader(openRegular(file));
  int depth = 0;
  std::string logical;
  bool haveLogical = false;
  bool firstPhysical = true;

  const auto settle = [&](std::string_view line) {  // false once the first event begins
    const std::optional<ContentLine> content = splitContentLine(line);
    if (!content) return true;
    if (equalsIgnoringCase(content->name, "BEGIN")) {
      if (equalsIgnoringCase(content->value, "VEVENT")) return false;
      ++depth;
    } else if (equalsIgnoringCase(content->name, "END")) {
      --depth;
    } else if (depth <= 1) {  // properties of VCALENDAR, not of a VTIMEZONE or other component
      if (!header.name && equalsIgnoringCase(content->name, "X-WR-CALNAME")) {
        header.name = unescapeText(content->value);
      } else if (!header.color && equalsIgnoringCase(content->name, "X-APPLE-CALENDAR-COLOR")) {
        header.color = unescapeText(content->value);
      }
    }
    return true;
  };

  while (std::optional<std::string> physical = reader.next()) {
    std::string_view line = *physical;
    if (firstPhysical && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    firstPhysical = false;
    if (haveLogical && !line.empty() && (line.front() == ' ' || line.front() == '\t')) {
      logical.append(line.substr(1));  // a folded continuation
      continue;
    }
    if (haveLogical && !settle(logical)) return header;
    logical.assign(line);
    haveLogical = true;
  }
  if (haveLogical) settle(logical);
  return header;
}

// A path component as identifier text: '%', ',' and bytes outside valid UTF-8 as %XX, so that
// identifiers are valid text, never contain the separator of the `events` list and stay unique.
void appendIdentifierPart(std::string& out, std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto escape = [&](uint8_t b) {
    out.push_back('%');
    out.push_back(kHex[b >> 4]);
    out.push_back(kHex[b & 0xF]);
  };
  size_t i = 0;
  while (i < name.size()) {
    const int n = utf8SequenceLength(name.substr(i));
    if (n <= 0 || name[i] == '%' || name[i] == ',') {
      escape(static_cast<uint8_t>(name[i]));
      ++i;
    } else {
      out.append(name.substr(i, static_cast<size_t>(n)));
      i += static_cast<size_t>(n);
    }
  }
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

long fileStoreAuthorization(const fs::path& root) {
  struct stat st {};
  if (root.empty()) return kFullAccess;
  if (::stat(root.c_str(), &st) != 0) {
    // Nothing there (or a file where a parent directory should be): an empty store.
    return errno == ENOENT || errno == ENOTDIR ? kFullAccess : kDenied;
  }
  if (!S_ISDIR(st.st_mode)) return kDenied;
  return ::access(root.c_str(), R_OK | X_OK) == 0 ? kFullAccess : kDenied;
}

std::vector<FileCalendar> listFileCalendars(const fs::path& root) {
  std::vector<FileCalendar> out;
  if (root.empty()) return out;
  for (const Entry& top : entriesOf(root)) {
    const fs::path path = root / top.name;
    if (top.kind == Kind::kRegular) {
      if (icsName(top.name)) out.push_back(fileCalendar(path, top.name));
      continue;
    }
    if (!isAccount(path)) {
      out.push_back(directoryCalendar(path, {}, top.name, std::nullopt));
      continue;
    }
    // An account has no *.ics file of its own (else it would be a calendar), so only its
    // directories are calendars.
    const Source source{displayName(path).value_or(top.name), 0};
    for (const Entry& inner : entriesOf(path)) {
      if (inner.kind == Kind::kDirectory) {
        out.push_back(directoryCalendar(path / inner.name, top.name, inner.name, source));
      }
    }
  }
  return out;
}

}  // namespace velkor
