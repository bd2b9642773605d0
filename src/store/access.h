// Calendar access: the names of the authorization state, the `status` and `request` commands, and
// the gate that the reading commands pass first.
#pragma once

#include <memory>
#include <ostream>
#include <string>

#include "cli/usage.h"
#include "store/store.h"

namespace velkor {

// The access name of an authorization state value ("fullAccess", "denied", ...).
std::string accessName(long status, bool macOS14OrLater);
// The access name of the current state, read afresh from the platform.
std::string accessName(const Platform& platform);

// A new store object; each command that needs one makes exactly one.
std::unique_ptr<Store> openStore(const Platform& platform);

enum class Gate { kPassed, kRefused };
// Passes with full access; otherwise prints a Status record with a fresh reading of the state.
Gate requireAccess(const Platform& platform, std::ostream& out);

ExitStatus runStatus(const Platform& platform, std::ostream& out);
ExitStatus runRequest(const Platform& platform, std::ostream& out);

}  // namespace velkor
