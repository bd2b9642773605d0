// Small POSIX pieces of the file store: directory handles that close themselves, what an entry is
// once links are followed, and a reader of a small file's lines.
#pragma once

#include <dirent.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/descriptors.h"

namespace velkor {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

enum class EntryType { kOther, kDirectory, kRegular };

// What `path` is once links are followed; a dangling or looping link, or an entry that vanished,
// is "other" and is skipped like a socket or a FIFO.
EntryType entryTypeAt(const std::filesystem::path& path);

// Opens `path` only when it is a regular file. The check comes before the open so that a FIFO of
// that name is never opened, and again on the descriptor in case the entry changed in between.
Fd openRegular(const std::filesystem::path& path);

// Reads a file's lines one by one, without their line ends. A line longer than any text this
// store keeps in one line ends the reading, so that a stray huge file costs little.
class LineReader {
 public:
  explicit LineReader(Fd fd) : fd_(std::move(fd)) {}
  std::optional<std::string> next();

 private:
  bool fill();

  Fd fd_;
  std::string buffer_;
  std::size_t start_ = 0;    // where the next line begins
  std::size_t scanned_ = 0;  // how far the buffer is known to hold no line end
  bool eof_ = false;
};

// The first line of a small file, without its line end; none when it cannot be read. A line
// longer than any text this store keeps in one line counts as none, so a stray huge file costs
// little.
std::optional<std::string> firstLine(const std::filesystem::path& path);

}  // namespace velkor
