#pragma once

#include <string>
#include <vector>

#include "output/usage.h"
#include "store/store.h"

namespace velkor {

// The `events FROM TO ID[,ID...]` command after dispatch; `args` still holds the command word.
ExitStatus runEvents(const std::vector<std::string>& args, const Platform& platform, Io io);

}  // namespace velkor
