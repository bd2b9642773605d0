#include "output/usage.h"

namespace velkor {

ExitStatus usageError(std::ostream& err, std::string_view line) {
  err.write(line.data(), static_cast<std::streamsize>(line.size()));
  return kUsage;
}

}  // namespace velkor
