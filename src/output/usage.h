// The two usage lines and the exit statuses: the whole vocabulary the host reads besides stdout;
// and the two streams a command writes to.
#pragma once

#include <ostream>
#include <string_view>

namespace velkor {

enum ExitStatus : int {
  kResult = 0,    // the command printed its result
  kUsage = 1,     // the command line is not usable
  kNoAccess = 2,  // full calendar access is missing; a Status record was printed
};

inline constexpr std::string_view kGeneralUsage =
    "usage: velkor-calendar status | request | calendars | events FROM TO ID[,ID...]\n";
inline constexpr std::string_view kEventsUsage =
    "usage: velkor-calendar events FROM TO ID[,ID...]\n";

// Standard output and standard error of a run; tests pass string streams.
struct Io {
  std::ostream& out;
  std::ostream& err;
};

// Writes `line` to `err` and gives the usage exit status.
ExitStatus usageError(std::ostream& err, std::string_view line);

}  // namespace velkor
