// The Linux store: a directory of iCalendar files, as CalDAV sync tools lay them out.
// Pieces shared by the store_files*.cc files; nothing outside src/store/ includes this.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "store/store.h"

namespace velkor {

// $XDG_DATA_HOME/calendars, or $HOME/.local/share/calendars when XDG_DATA_HOME is unset, empty or
// not absolute.
std::filesystem::path fileStoreRoot();

// Full access when the root can be read and searched or does not exist; denied otherwise.
long fileStoreAuthorization(const std::filesystem::path& root);

struct FileCalendar {
  Calendar calendar;
  std::filesystem::path path;  // the calendar's directory, or its file when `singleFile`
  bool singleFile = false;
};

// Every calendar of the store, in store order.
std::vector<FileCalendar> listFileCalendars(const std::filesystem::path& root);

// The window is at most four years long.
constexpr auto kLongestStoreWindow = std::chrono::days(1461);

// A file or directory name as a piece of a calendar id: '%', ',' and bytes outside valid UTF-8
// as %XX, so that ids are valid text, never contain the separator of the `events` list and stay
// unique.
std::string identifierPart(std::string_view name);

// How the search reads files: `kFast` settles files it can by a scan without a full parse; `kFull`
// parses everything. Both must give the same events.
enum class SearchMode { kFast, kFull };

// A calendar file read in parts (a single-file calendar, any large file) puts whole units of events
// into a part until it holds this many bytes of them.
constexpr std::size_t kDefaultBatchBytes = std::size_t{32} << 10;

// The events of `calendars` overlapping [start, end), in store order; an event's calendar is its
// index in `calendars`. The list is not cut to its cap: whoever joins answers cuts once.
EventList searchFileCalendars(const std::vector<FileCalendar>& calendars, Instant start,
                              Instant end, SearchMode mode = SearchMode::kFast,
                              std::size_t batchBytes = kDefaultBatchBytes);

}  // namespace velkor
