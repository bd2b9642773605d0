// Small POSIX pieces of the file store: directory handles that close themselves, what an entry is
// once links are followed, and a reader of a small file's lines.
#pragma once

#include <dirent.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/files.h"

namespace velkor {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// Reads a file's lines one by one, without their line ends (LF, CRLF or CR). A line longer than any text this
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
