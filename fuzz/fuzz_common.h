// What the fuzz targets share: a scratch directory, failing loudly, and the checks that every
// line the program prints must pass.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "strict_json.h"

namespace velkor::fuzzing {

[[noreturn]] inline void fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: %.*s\n", what, static_cast<int>(std::min<size_t>(detail.size(), 4000)),
               detail.data());
  std::abort();
}

// A directory for one fuzzing process, removed when the process ends normally.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velkor-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) fail("mkdtemp", pattern);
    path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& relative, std::string_view content) const {
    std::filesystem::create_directories((path_ / relative).parent_path());
    std::ofstream out(path_ / relative, std::ios::binary | std::ios::trunc);
    if (!out.write(content.data(), static_cast<std::streamsize>(content.size())))
      fail("write", relative);
  }

 private:
  std::filesystem::path path_;
};

// The value of a printed line, which must be one line of the program's JSON.
inline strict_json::Value jsonLine(const std::string& line) {
  std::optional<strict_json::Value> v = strict_json::parseLine(line);
  if (!v) fail("not one line of the program's JSON", line);
  return *v;
}

}  // namespace velkor::fuzzing
