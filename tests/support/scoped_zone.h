// Sets the process's time zone for one test and puts the previous one back afterwards.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace velkor::testing {

class ScopedZone {
 public:
  explicit ScopedZone(const std::string& zone) {
    if (const char* old = getenv("TZ")) saved_ = old;
    setenv("TZ", zone.c_str(), 1);
    tzset();
  }
  ~ScopedZone() {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ScopedZone(const ScopedZone&) = delete;
  ScopedZone& operator=(const ScopedZone&) = delete;

 private:
  std::optional<std::string> saved_;
};

}  // namespace velkor::testing
