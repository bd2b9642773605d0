#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velkor {

namespace fs = std::filesystem;

EntryType entryTypeAt(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return EntryType::kOther;
  if (S_ISDIR(st.st_mode)) return EntryType::kDirectory;
  if (S_ISREG(st.st_mode)) return EntryType::kRegular;
  return EntryType::kOther;
}

Fd openRegular(const fs::path& path) {
  if (entryTypeAt(path) != EntryType::kRegular) return {};
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return fd;
}

std::optional<std::string> readSmallFile(const fs::path& path, std::size_t limit) {
  const Fd fd = openRegular(path);
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
