// A calendar file read as a stream of lines: the byte scan settles each VEVENT on its own,
// only the units that may reach the window are read again and parsed, and memory holds a chunk of
// the file, a few bytes per VEVENT and the batch being parsed, whatever the file's size.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "filestore/files.h"
#include "ical/ics_events.h"

namespace velkor {

// Larger files are skipped: no calendar export comes near this, and reading one whole costs its
// size in memory.
constexpr off_t kLargestFile = off_t{256} << 20;

// `path` opened for reading when it is a regular file of at most kLargestFile bytes, with its
// size from one fstat of the descriptor; no descriptor otherwise. Unless its directory's listing
// already said it is a regular file (`listedRegular`), it is looked at first, so that a FIFO or
// device behind a link is never opened. Opened without blocking, so that a FIFO that replaces
// the file meanwhile cannot hold the run.
Fd openRegularFile(const std::string& path, bool listedRegular, off_t& size);

enum class Streamed {
  kDone,
  kSkipped,    // unreadable, or grew too large
  kReadWhole,  // not written plainly enough to be read in parts: read and parse it whole
};

// Appends the events of the calendar file open at `fd` (of `size` bytes when opened) that reach the
// query's window, as the whole text parsed at once gives them, in the same order.
Streamed appendStreamedEvents(int fd, off_t size, std::uint32_t calendar, const IcsQuery& query,
                              ZoneCache& zones, EventList& out);

}  // namespace velkor
