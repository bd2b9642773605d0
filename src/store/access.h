// The names of the authorization state, and the opening of a store.
#pragma once

#include <memory>
#include <string>

#include "store/store.h"

namespace velkor {

// The access name of a state ("fullAccess", "denied", ...).
std::string accessName(AccessState state);
// The access name of the current state, read afresh from the platform.
std::string accessName(const Platform& platform);

// A new store object; each command that needs one makes exactly one.
std::unique_ptr<Store> openStore(const Platform& platform);

}  // namespace velkor
