#include "thunderbird/snapshot.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>
#include <string_view>
#include <system_error>

#include "base/files.h"

namespace velkor {
namespace fs = std::filesystem;
namespace {

constexpr std::array<const char*, 3> kParts = {"", "-wal", "-journal"};

// What tells a file changed: absent, or its identity, size and modification time.
struct Stamp {
  bool present = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  long long mtimeNs = 0;
  bool operator==(const Stamp&) const = default;
};

Stamp stampOf(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return {true, st.st_dev, st.st_ino, st.st_size,
          static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

bool copyFile(const fs::path& from, const fs::path& to) {
  const Fd in = openRegular(from);
  if (!in) return false;
  const Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!out) return false;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) return true;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out.get(), buffer + done, static_cast<std::size_t>(n - done));
      if (w <= 0) return false;
      done += w;
    }
  }
}

// Copies the database's files into `folder`; true when every one was copied and none changed.
bool copyStable(const fs::path& database, const fs::path& folder,
                const std::function<void()>& afterCopy) {
  std::array<Stamp, kParts.size()> before;
  for (std::size_t i = 0; i < kParts.size(); ++i) {
    const fs::path from = database.string() + kParts[i];
    const fs::path to = folder / (std::string("db") + kParts[i]);
    std::error_code ec;
    fs::remove(to, ec);
    before[i] = stampOf(from);
    if (before[i].present && !copyFile(from, to)) return false;
  }
  if (!before[0].present) return false;
  if (afterCopy) afterCopy();
  for (std::size_t i = 0; i < kParts.size(); ++i) {
    if (!(stampOf(database.string() + kParts[i]) == before[i])) return false;
  }
  return true;
}

// A damaged or truncated copy is refused here rather than answered in part later.
bool intact(sqlite3* db) {
  const Statement s = prepare(db, "PRAGMA quick_check(1)");
  if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return false;
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0));
  return text != nullptr && std::string_view(text) == "ok";
}

int schemaVersion(sqlite3* db) {
  const Statement s = prepare(db, "SELECT version FROM cal_calendar_schema_version LIMIT 1");
  if (!s || sqlite3_step(s.get()) != SQLITE_ROW) return 0;
  return sqlite3_column_int(s.get(), 0);
}

}  // namespace

PrivateFolder::PrivateFolder() {
  // $TMPDIR when it is usable, else /tmp.
  std::error_code ec;
  const fs::path tmp = fs::temp_directory_path(ec);
  for (const fs::path& base : {ec ? fs::path("/tmp") : tmp, fs::path("/tmp")}) {
    std::string pattern = (base / "velkor-tbcopy-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
      return;
    }
  }
}

PrivateFolder::~PrivateFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::optional<Snapshot> snapshotDatabase(const fs::path& database,
                                         const std::function<void()>& afterCopy) {
  Snapshot snap;
  snap.folder = std::make_unique<PrivateFolder>();
  if (!*snap.folder) return std::nullopt;
  bool copied = false;
  for (int attempt = 0; attempt < kCopyTries && !copied; ++attempt) {
    copied = copyStable(database, snap.folder->path(), afterCopy);
  }
  if (!copied) return std::nullopt;
  // The copy is ours: opened for writing, so that SQLite can replay the -wal into it.
  sqlite3* db = nullptr;
  const std::string file = (snap.folder->path() / "db").string();
  const int rc =
      sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  snap.db.reset(db);
  if (rc != SQLITE_OK) return std::nullopt;
  if (!intact(db)) return std::nullopt;
  snap.schemaVersion = schemaVersion(db);
  if (snap.schemaVersion != 22 && snap.schemaVersion != 23) return std::nullopt;
  return snap;
}

}  // namespace velkor
