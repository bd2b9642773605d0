#pragma once

#include <string>

#include "store/store.h"

namespace velkor {

// The kind name of an account ("local", "exchange", ..., "other").
std::string kindName(AccountKind kind);

}  // namespace velkor
