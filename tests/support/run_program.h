// Runs the built velkor-calendar as a separate process and captures what it writes.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velkor::testing {

struct RunResult {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
  double peakMb = 0;  // the program's peak resident size
};

using EnvOverrides = std::vector<std::pair<std::string, std::string>>;

// Runs the program with `args` (without the program name) in this process's environment with the
// variables of `env` set.
RunResult runProgram(const std::vector<std::string>& args, const EnvOverrides& env = {});
// The same with the program at `binary`.
RunResult runProgramAt(const std::string& binary, const std::vector<std::string>& args,
                       const EnvOverrides& env = {});

}  // namespace velkor::testing
