// The event search of the file store: every *.ics file of the selected calendars, read on two
// threads. In the fast mode a byte scan settles most files (one event far from the window) without
// a parse; the rest go through libical.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>

#include "base/two_halves.h"
#include "filestore/files.h"
#include "filestore/filestore.h"
#include "filestore/stream.h"
#include "ical/ics_events.h"
#include "ical/scan.h"

namespace velkor {
namespace {

// Files in a calendar directory up to this size are read whole: most hold one event.
constexpr off_t kStreamFrom = off_t{1} << 20;

struct FileJob {
  std::uint32_t calendar;  // index into the selected calendars
  std::string path;
  bool listedRegular;  // the directory's listing says a regular file: no look before the open
};

bool hasIcsSuffix(std::string_view name) {
  return name.size() > 4 && name.substr(name.size() - 4) == ".ics";
}

// The *.ics entries of a calendar directory by the bytes of their names, hidden ones left out.
void listCalendarFiles(std::uint32_t calendar, const std::filesystem::path& dir,
                       std::vector<FileJob>& jobs) {
  const DirHandle d(::opendir(dir.c_str()));
  if (!d) return;
  const std::string prefix = dir.native() + "/";
  const std::size_t first = jobs.size();
  while (const dirent* entry = ::readdir(d.get())) {
    const std::string_view name = entry->d_name;
    if (name.empty() || name.front() == '.' || !hasIcsSuffix(name)) continue;
    // A link, or an entry of a file system that does not tell, is looked at when it is opened.
    const unsigned char type = entry->d_type;
    if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) continue;
    jobs.push_back(FileJob{calendar, prefix + std::string(name), type == DT_REG});
  }
  // The same prefix for all: the paths sort as the names do.
  std::sort(jobs.begin() + static_cast<std::ptrdiff_t>(first), jobs.end(),
            [](const FileJob& a, const FileJob& b) { return a.path < b.path; });
}

// The whole content of an open file, from its start up to a NUL byte (libical reads no further);
// false when it cannot be read or grew past the largest size.
bool readWhole(int fd, off_t size, std::string& text) {
  // One byte more than the size, so that reading a file that did not change ends without growing.
  text.resize(static_cast<std::size_t>(size) + 1);
  std::size_t got = 0;
  while (true) {
    if (got == text.size()) text.resize(text.size() + 4096 + text.size() / 2);
    const ssize_t n = ::pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(got));
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
    if (got > static_cast<std::size_t>(kLargestFile)) return false;  // grew while being read
  }
  text.resize(got);
  if (const void* nul = std::memchr(text.data(), '\0', text.size())) {
    text.resize(static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
  }
  return true;
}

void searchFiles(const std::vector<FileCalendar>& calendars, const std::vector<FileJob>& jobs,
                 std::size_t from, std::size_t to, const IcsQuery& query, SearchMode mode,
                 EventList& out) {
  ZoneCache zones;
  std::string text;
  const std::int64_t firstDay = utcDayOf(query.start);
  const std::int64_t lastDay = utcDayOf(query.end - std::chrono::milliseconds(1));
  for (std::size_t i = from; i < to; ++i) {
    off_t size = 0;
    const Fd f = openRegularFile(jobs[i].path, jobs[i].listedRegular, size);
    if (!f) continue;
    // A calendar of one file, or any large file, may hold years of events: it is read as a stream
    // of units, most of them settled by the scan.
    if (mode == SearchMode::kFast &&
        (calendars[jobs[i].calendar].singleFile || size > kStreamFrom)) {
      const Streamed streamed =
          appendStreamedEvents(f.get(), size, jobs[i].calendar, query, zones, out);
      if (streamed != Streamed::kReadWhole) continue;
    }
    if (!readWhole(f.get(), size, text)) continue;
    if (mode == SearchMode::kFast && !mayReachDays(text, firstDay, lastDay)) continue;
    appendIcsEvents(text, jobs[i].calendar, query, zones, out);
  }
}

}  // namespace

EventList searchFileCalendars(const std::vector<FileCalendar>& calendars, Instant start,
                              Instant end, SearchMode mode, std::size_t batchBytes) {
  if (!(start < end)) return {};
  std::vector<FileJob> jobs;
  for (std::uint32_t c = 0; c < calendars.size(); ++c) {
    if (calendars[c].singleFile) {
      jobs.push_back(FileJob{c, calendars[c].path.native(), false});
    } else {
      listCalendarFiles(c, calendars[c].path, jobs);
    }
  }
  const QuietStandardError quiet;
  quietLibical();
  IcsQuery query;
  query.start = start;
  query.end = end;
  query.expandNearWindow = mode == SearchMode::kFast;
  query.batchBytes = batchBytes;

  // Two halves in store order, the second on its own thread; concatenated they are the sequential
  // answer. A store too small to be worth a thread is read here alone.
  const auto part = [&](std::size_t from, std::size_t to, EventList& out) {
    searchFiles(calendars, jobs, from, to, query, mode, out);
  };
  EventList first, second;
  const std::size_t half = jobs.size() / 2;
  if (jobs.size() < 64 ||
      !runTwoHalves([&] { part(0, half, first); }, [&] { part(half, jobs.size(), second); })) {
    part(0, jobs.size(), first);
  }
  first.append(std::move(second));
  return first;
}

}  // namespace velkor
