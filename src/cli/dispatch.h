#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "output/usage.h"
#include "store/store.h"

namespace velkor {

// Runs the command named by args[0] (the words after the program name) and gives the exit status.
// Never throws.
ExitStatus dispatch(const std::vector<std::string>& args, const Platform& platform, Io io);

}  // namespace velkor
