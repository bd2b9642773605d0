// Collects the argument words and hands over; the exit status is decided by the command.
#include <iostream>
#include <string>
#include <vector>

#include "cli/dispatch.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const velkor::ExitStatus status =
      velkor::dispatch(args, velkor::systemPlatform(), {std::cout, std::cerr});
  std::cout.flush();
  return status;
}
