// What the fuzz targets share: failing loudly, and the check that every line the program prints
// must pass.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../tests/support/temp_dir.h"
#include "strict_json.h"

namespace velkor::fuzzing {

[[noreturn]] inline void fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: %.*s\n", what, static_cast<int>(std::min<size_t>(detail.size(), 4000)),
               detail.data());
  std::abort();
}

// The value of a printed line, which must be one line of the program's JSON.
inline strict_json::Value jsonLine(const std::string& line) {
  std::optional<strict_json::Value> v = strict_json::parseLine(line);
  if (!v) fail("not one line of the program's JSON", line);
  return *v;
}

}  // namespace velkor::fuzzing
