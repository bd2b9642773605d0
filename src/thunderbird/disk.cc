#include "thunderbird/disk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkor {

Entry entryAt(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Entry::kOther;
  if (S_ISDIR(st.st_mode)) return Entry::kDirectory;
  return S_ISREG(st.st_mode) ? Entry::kRegular : Entry::kOther;
}

Fd openRegularFile(const std::filesystem::path& path) {
  if (entryAt(path) != Entry::kRegular) return Fd();
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Fd();
  return fd;
}

std::optional<std::string> readSmallFile(const std::filesystem::path& path, std::size_t limit) {
  const Fd fd = openRegularFile(path);
  if (!fd) return std::nullopt;
  std::string out;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) return std::nullopt;
    if (n == 0) return out;
    if (out.size() + static_cast<std::size_t>(n) > limit) return std::nullopt;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace velkor
