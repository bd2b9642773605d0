#include "base/descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace velkor {

Fd::~Fd() {
  if (fd_ >= 0) ::close(fd_);
}

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

QuietStandardError::QuietStandardError() {
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null < 0) return;
  saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  wasClosed_ = saved_ < 0 && errno == EBADF;
  if ((saved_ >= 0 || wasClosed_) && ::dup2(null, STDERR_FILENO) < 0) {
    if (saved_ >= 0) ::close(saved_);
    saved_ = -1;
    wasClosed_ = false;
  }
  ::close(null);
}

QuietStandardError::~QuietStandardError() {
  std::fflush(stderr);
  if (saved_ >= 0) {
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
  } else if (wasClosed_) {
    ::close(STDERR_FILENO);
  }
}

}  // namespace velkor
