// Sets or removes an environment variable for one scope and puts the old value back afterwards.
// Changes of TZ take effect at once.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace velkor::testing {

class ScopedEnv {
 public:
  ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* old = getenv(name_.c_str())) old_ = old;
    set(value);
  }
  ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void set(const char* value) {
    value != nullptr ? setenv(name_.c_str(), value, 1) : unsetenv(name_.c_str());
    tzset();
  }
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace velkor::testing
