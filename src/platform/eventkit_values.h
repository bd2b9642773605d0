// EventKit's numbers in the program's terms: its authorization status and source type values, as
// documented for EKAuthorizationStatus and EKSourceType. Portable, so that the mapping is tested on
// every platform.
#pragma once

#include <functional>

#include "store/store.h"

namespace velkor {

// `isMacOS14OrLater` is asked only for the one value whose meaning changed with macOS 14 (4: write
// only since then, undefined before).
AccessState eventKitAccessState(long status, const std::function<bool()>& isMacOS14OrLater);

AccountKind eventKitAccountKind(long sourceType);

}  // namespace velkor
