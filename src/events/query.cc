#include "events/query.h"

namespace velkor {

ExitStatus runEvents(const std::vector<std::string>&, const Platform&, Io io) {
  return usageError(io.err, kEventsUsage);
}

}  // namespace velkor
