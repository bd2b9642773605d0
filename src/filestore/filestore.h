// The Linux store: a directory of iCalendar files, as CalDAV sync tools lay them out.
// What the store object (file_store.cc) and the tests use of the file store.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ical/ics_events.h"
#include "store/store.h"

namespace velkor {

// $XDG_DATA_HOME/calendars, or $HOME/.local/share/calendars when XDG_DATA_HOME is unset, empty or
// not absolute.
std::filesystem::path fileStoreRoot();

// Full access when the root can be read and searched or does not exist; denied otherwise.
AccessState fileStoreAuthorization(const std::filesystem::path& root);

struct FileCalendar {
  Calendar calendar;
  std::filesystem::path path;  // the calendar's directory, or its file when `singleFile`
  bool singleFile = false;
};

// Every calendar of the store, in store order.
std::vector<FileCalendar> listFileCalendars(const std::filesystem::path& root);

// How the search reads files: `kFast` settles files it can by a scan without a full parse; `kFull`
// parses everything. Both must give the same events.
enum class SearchMode { kFast, kFull };

// The events of `calendars` overlapping [start, end), in store order; an event's calendar is its
// index in `calendars`. The list keeps to its cap as it grows; searchEvents cuts it once.
EventList searchFileCalendars(const std::vector<FileCalendar>& calendars, Instant start,
                              Instant end, SearchMode mode = SearchMode::kFast,
                              std::size_t batchBytes = kDefaultBatchBytes);

}  // namespace velkor
