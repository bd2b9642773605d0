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

std::string stripCr(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace

std::optional<std::string> LineReader::next() {
  for (;;) {
    const std::size_t newline = buffer_.find('\n', scanned_);
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
