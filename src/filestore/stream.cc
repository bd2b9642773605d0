#include "filestore/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "base/two_halves.h"
#include "ical/blocks.h"
#include "ical/units.h"

namespace velkor {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

// Files up to this size are read whole when they are cut short: the whole parse decides then.
constexpr std::uint64_t kSmallText = std::uint64_t{4} << 20;

// Reads `fd` from `from` up to `to` in chunks and hands its physical lines to `builder`, stopping
// at the first NUL byte (libical reads no further; `nul` tells), a BOM at the file's start skipped.
// A line longer than a chunk is gathered whole. `length`: where the reading stopped.
enum class Fed { kRead, kRefused, kFailed };
Fed feedLines(int fd, LayoutBuilder& builder, std::uint64_t from, std::uint64_t to,
              std::uint64_t& length, bool& nul) {
  std::string buffer(kChunk, '\0');
  std::size_t filled = 0, pos = 0;
  std::uint64_t base = from;  // the file offset of buffer[0]
  bool eof = false, bomChecked = from > 0;
  nul = false;
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
    const std::size_t want = static_cast<std::size_t>(
        std::min<std::uint64_t>(buffer.size() - filled, to - base - filled));
    const ssize_t n = ::pread(fd, buffer.data() + filled, want, static_cast<off_t>(base + filled));
    if (n < 0) return Fed::kFailed;
    const std::size_t got = static_cast<std::size_t>(n);
    if (const void* at = std::memchr(buffer.data() + filled, '\0', got)) {
      filled = static_cast<std::size_t>(static_cast<const char*>(at) - buffer.data());
      eof = nul = true;
    } else {
      filled += got;
      eof = n == 0 || base + filled == to;
    }
    if (base + filled > static_cast<std::uint64_t>(kLargestFile)) return Fed::kFailed;
    if (!bomChecked && (filled >= 3 || eof)) {
      bomChecked = true;
      if (filled >= 3 && std::memcmp(buffer.data(), "\xEF\xBB\xBF", 3) == 0) pos = 3;
    }
  }
}

// Larger files are scanned in two parts at once.
constexpr off_t kScannedInParts = off_t{4} << 20;

// Where a second part may start, near the middle of the file: a BEGIN:VEVENT line right after an
// END:VEVENT line, which in a text the builder takes stands at the top of the calendar; 0 for none.
std::uint64_t splitPoint(int fd, off_t size, std::string& lineEnd) {
  std::string window(64 << 10, '\0');
  const off_t at = size / 2;
  const ssize_t n = ::pread(fd, window.data(), window.size(), at);
  if (n <= 0) return 0;
  window.resize(static_cast<std::size_t>(n));
  for (const std::string_view eol : {std::string_view("\r\n"), std::string_view("\n")}) {
    const std::string seam = "\nEND:VEVENT" + std::string(eol) + "BEGIN:VEVENT" + std::string(eol);
    const std::size_t found = window.find(seam);
    if (found == std::string::npos || window.substr(0, found).find('\0') != std::string::npos) {
      continue;
    }
    lineEnd = eol;
    return static_cast<std::uint64_t>(at) + found + seam.size() - 12 - eol.size();
  }
  return 0;
}

// The layout of the whole file, its two halves scanned on two threads when it is large: the same
// as one scan from the start gives.
std::optional<IcsLayout> scanFile(int fd, off_t size, const DayRange& window, Fed& fed,
                                  std::uint64_t& length) {
  constexpr std::uint64_t kEnd = ~std::uint64_t{0};
  std::string lineEnd;
  const std::uint64_t split = size >= kScannedInParts ? splitPoint(fd, size, lineEnd) : 0;
  LayoutBuilder first('\n', window, static_cast<std::size_t>(size));
  bool nul = false;
  if (split > 0) {
    LayoutBuilder second('\n', window, static_cast<std::size_t>(size) - split);
    second.startInside(lineEnd);
    Fed secondFed = Fed::kRead;
    std::uint64_t secondLength = 0;
    bool secondNul = false;
    if (runTwoHalves(
            [&] { fed = feedLines(fd, first, 0, split, length, nul); },
            [&] { secondFed = feedLines(fd, second, split, kEnd, secondLength, secondNul); })) {
      // What stops the first part stops one scan from the start at the same line.
      if (fed != Fed::kRead) return std::nullopt;
      if (nul) return first.finish();
      std::optional<IcsLayout> head = first.finishAtTop();
      if (head) {
        fed = secondFed;
        std::optional<IcsLayout> tail = fed == Fed::kRead ? second.finish() : std::nullopt;
        if (!tail) return std::nullopt;
        if (head->lineEnd == tail->lineEnd &&
            head->head.size() + tail->head.size() <= IcsLayout::kLargestHead) {
          length = secondLength;
          head->head.append(tail->head);
          head->blocks.insert(head->blocks.end(), tail->blocks.begin(), tail->blocks.end());
          head->cutShort = tail->cutShort;
          return head;
        }
      }
      // The parts do not join (the seam was not at the top of the calendar): one scan.
      first = LayoutBuilder('\n', window, static_cast<std::size_t>(size));
    }
  }
  fed = feedLines(fd, first, 0, kEnd, length, nul);
  return fed == Fed::kRead ? first.finish() : std::nullopt;
}

}  // namespace

Fd openRegularFile(const std::string& path, bool listedRegular, off_t& size) {
  if (!listedRegular && entryTypeAt(path) != EntryType::kRegular) return {};
  Fd f(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (!f || ::fstat(f.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestFile) {
    return {};
  }
  size = st.st_size;
  return f;
}

Streamed appendStreamedEvents(int fd, off_t size, std::uint32_t calendar, const IcsQuery& query,
                              ZoneCache& zones, EventList& out) {
  const DayRange window{utcDayOf(query.start), utcDayOf(query.end - std::chrono::milliseconds(1))};
  Fed fed = Fed::kRead;
  std::uint64_t length = 0;
  const std::optional<IcsLayout> layout = scanFile(fd, size, window, fed, length);
  if (fed == Fed::kFailed) return Streamed::kSkipped;
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
  appendUnits(*layout, unitsToParse(*layout, reread), reread, calendar, query, zones, out);
  return Streamed::kDone;
}

}  // namespace velkor
