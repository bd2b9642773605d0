// A private copy of one of Thunderbird's databases. Thunderbird holds its databases exclusively
// while it runs, and recent changes sit in the -wal file, so the program never opens the user's
// files: it copies the database with its -wal (and a -journal) into a folder of its own, checks
// that none changed meanwhile, and opens the copy.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include "thunderbird/sqlite.h"

namespace velkor {

// A fresh folder (mode 0700) under the temporary directory, removed with its content.
class PrivateFolder {
 public:
  PrivateFolder();
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  explicit operator bool() const { return !path_.empty(); }

 private:
  std::filesystem::path path_;
};

struct Snapshot {
  std::unique_ptr<PrivateFolder> folder;
  Connection db;  // closed before the folder goes
  int schemaVersion = 0;
};

// How often a copy is tried before a database that keeps changing is left out.
constexpr int kCopyTries = 4;

// The open copy of `database` when it could be copied unchanged and holds a schema this program
// reads (22 or 23); none otherwise. `afterCopy` runs between copying and the check (tests change
// the files there).
std::optional<Snapshot> snapshotDatabase(const std::filesystem::path& database,
                                         const std::function<void()>& afterCopy = {});

}  // namespace velkor
