// The `status` and `request` commands, and the gate that the reading commands pass first.
#pragma once

#include <ostream>

#include "output/usage.h"
#include "store/access.h"

namespace velkor {

enum class Gate { kPassed, kRefused };
// Passes with full access; otherwise prints a Status record with a fresh reading of the state.
Gate requireAccess(const Platform& platform, std::ostream& out);

ExitStatus runStatus(const Platform& platform, std::ostream& out);
ExitStatus runRequest(const Platform& platform, std::ostream& out);

}  // namespace velkor
