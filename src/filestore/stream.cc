#include "filestore/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <utility>

#include "filestore/blocks.h"
#include "filestore/units.h"

namespace velkor {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

// Files up to this size are read whole when they are cut short: the whole parse decides then.
constexpr std::uint64_t kSmallText = std::uint64_t{4} << 20;

std::int64_t dayOf(Instant t) {
  return std::chrono::floor<std::chrono::days>(t).time_since_epoch().count();
}

// Reads `fd` from its start in chunks and hands its physical lines to `builder`, up to the first
// NUL byte (libical reads no further), a leading BOM skipped. A line longer than a chunk is
// gathered whole. False when the file cannot be read, grows past the largest size, or the builder
// refuses.
enum class Fed { kRead, kRefused, kFailed };
Fed feedLines(int fd, LayoutBuilder& builder, std::uint64_t& length) {
  std::string buffer(kChunk, '\0');
  std::size_t filled = 0, pos = 0;
  std::uint64_t base = 0;  // the file offset of buffer[0]
  bool eof = false, bomChecked = false;
  while (true) {
    const char* data = buffer.data();
    if (const void* nl = std::memchr(data + pos, '\n', filled - pos)) {
      const std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(nl) - data) + 1;
      if (!builder.add(std::string_view(data + pos, stop - pos), base + pos)) return Fed::kRefused;
      pos = stop;
      continue;
    }
    if (eof) {
      length = base + filled;
      if (pos < filled && !builder.add(std::string_view(data + pos, filled - pos), base + pos)) {
        return Fed::kRefused;
      }
      return Fed::kRead;
    }
    // Keep the unfinished line and read more behind it.
    std::memmove(buffer.data(), data + pos, filled - pos);
    base += pos;
    filled -= pos;
    pos = 0;
    if (filled == buffer.size()) {
      // A line longer than a chunk: a CR alone in it means lines end at CR, which is read whole.
      if (std::string_view(buffer).find('\r') < buffer.size() - 1) return Fed::kRefused;
      buffer.resize(buffer.size() * 2);
    }
    const ssize_t n = ::pread(fd, buffer.data() + filled, buffer.size() - filled,
                              static_cast<off_t>(base + filled));
    if (n < 0) return Fed::kFailed;
    const std::size_t got = static_cast<std::size_t>(n);
    if (const void* nul = std::memchr(buffer.data() + filled, '\0', got)) {
      filled = static_cast<std::size_t>(static_cast<const char*>(nul) - buffer.data());
      eof = true;
    } else {
      filled += got;
      eof = n == 0;
    }
    if (base + filled > static_cast<std::uint64_t>(kLargestFile)) return Fed::kFailed;
    if (!bomChecked && (filled >= 3 || eof)) {
      bomChecked = true;
      if (filled >= 3 && std::memcmp(buffer.data(), "\xEF\xBB\xBF", 3) == 0) pos = 3;
    }
  }
}

}  // namespace

Fd::~Fd() {
  if (fd >= 0) ::close(fd);
}

Fd openRegularFile(const std::string& path, off_t& size) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return Fd(-1);
  Fd f(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestFile) {
    return Fd(-1);
  }
  size = st.st_size;
  return Fd(std::exchange(f.fd, -1));
}

Streamed appendStreamedEvents(int fd, off_t size, const std::string& calendarId,
                              const IcsQuery& query, ZoneCache& zones, std::vector<Event>& out) {
  const DayRange window{dayOf(query.start), dayOf(query.end - std::chrono::milliseconds(1))};
  LayoutBuilder builder('\n', window, static_cast<std::size_t>(size));
  std::uint64_t length = 0;
  switch (feedLines(fd, builder, length)) {
    case Fed::kFailed:
      return Streamed::kSkipped;
    case Fed::kRefused:
      return Streamed::kReadWhole;
    case Fed::kRead:
      break;
  }
  const std::optional<IcsLayout> layout = builder.finish();
  if (!layout || (layout->cutShort && length <= kSmallText)) return Streamed::kReadWhole;
  const BlockText reread = [fd](const VeventBlock& b, std::string& storage) -> std::string_view {
    storage.resize(b.size());
    std::size_t got = 0;
    while (got < storage.size()) {
      const ssize_t n = ::pread(fd, storage.data() + got, storage.size() - got,
                                static_cast<off_t>(b.begin + got));
      if (n <= 0) break;  // the file changed under us: parse what is there
      got += static_cast<std::size_t>(n);
    }
    storage.resize(got);
    return storage;
  };
  appendUnits(*layout, unitsToParse(*layout, reread), reread, calendarId, query, zones, out);
  return Streamed::kDone;
}

}  // namespace velkor
