// A fresh directory for one test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velkor::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `content` to `relative` (parent directories created), replacing what was there.
  std::filesystem::path write(const std::string& relative, std::string_view content) const;
  // Creates the directory `relative` with its parents.
  std::filesystem::path mkdir(const std::string& relative) const;

 private:
  std::filesystem::path path_;
};

}  // namespace velkor::testing
