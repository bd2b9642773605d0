#include "cli/dispatch.h"

#include "access/commands.h"
#include "calendars/list.h"
#include "events/query.h"

namespace velkor {

ExitStatus dispatch(const std::vector<std::string>& args, const Platform& platform, Io io) {
  if (args.empty()) return usageError(io.err, kGeneralUsage);
  const std::string& command = args.front();
  if (command == "status") return runStatus(platform, io.out);
  if (command == "request") return runRequest(platform, io.out);
  if (command == "calendars") return runCalendars(platform, io.out);
  if (command == "events") return runEvents(args, platform, io);
  return usageError(io.err, kGeneralUsage);
}

}  // namespace velkor
