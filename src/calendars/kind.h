#pragma once

#include <string>

namespace velkor {

// The kind name of an account type ("local", "exchange", ..., "other").
std::string kindName(long sourceType);

}  // namespace velkor
