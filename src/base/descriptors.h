// Holders of the process's descriptors: one that closes itself, and a spell during which standard
// error goes nowhere.
#pragma once

#include <utility>

namespace velkor {

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd();
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// libical, GLib and SQLite may write warnings straight to standard error, which carries nothing
// but usage lines: while one lives, descriptor 2 points at /dev/null. No other
// output is written meanwhile, so nothing else is lost.
class QuietStandardError {
 public:
  QuietStandardError();
  ~QuietStandardError();
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;

 private:
  int saved_ = -1;
  bool wasClosed_ = false;
};

}  // namespace velkor
