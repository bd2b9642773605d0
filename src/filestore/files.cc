#include "filestore/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace velkor {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxLine = 1 << 20;

}  // namespace

std::optional<std::string> LineReader::next() {
  for (;;) {
    // A line ends at LF, CRLF or a CR alone (files written with CR line ends, as libical reads
    // them); a CR at the end of what is read waits for the byte after it.
    const std::size_t end = buffer_.find_first_of("\r\n", scanned_);
    if (end != std::string::npos) {
      if (buffer_[end] == '\r' && end + 1 == buffer_.size() && !eof_) {
        scanned_ = end;
        if (!fill()) eof_ = true;
        continue;
      }
      std::string line = buffer_.substr(start_, end - start_);
      std::size_t after = end + 1;
      if (buffer_[end] == '\r' && after < buffer_.size() && buffer_[after] == '\n') ++after;
      start_ = scanned_ = after;
      return line;
    }
    scanned_ = buffer_.size();
    if (scanned_ - start_ > kMaxLine) return std::nullopt;
    if (!fill()) {
      if (start_ >= buffer_.size()) return std::nullopt;
      std::string line = buffer_.substr(start_);
      start_ = scanned_ = buffer_.size();
      return line;
    }
  }
}

bool LineReader::fill() {
  if (!fd_ || eof_) return false;
  buffer_.erase(0, start_);
  scanned_ -= start_;
  start_ = 0;
  char chunk[16384];
  for (;;) {
    const ssize_t n = ::read(fd_.get(), chunk, sizeof chunk);
    if (n > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    eof_ = true;
    return false;
  }
}

std::optional<std::string> firstLine(const fs::path& path) {
  Fd fd = openRegular(path);
  if (!fd) return std::nullopt;
  return LineReader(std::move(fd)).next();
}

}  // namespace velkor
