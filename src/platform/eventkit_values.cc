#include "platform/eventkit_values.h"

namespace velkor {

AccessState eventKitAccessState(long status, const std::function<bool()>& isMacOS14OrLater) {
  switch (status) {
    case 0:
      return AccessState::kNotDetermined;
    case 1:
      return AccessState::kRestricted;
    case 2:
      return AccessState::kDenied;
    case 3:  // "authorized" before macOS 14, "full access" since
      return AccessState::kFullAccess;
    case 4:
      return isMacOS14OrLater() ? AccessState::kWriteOnly : AccessState::kUnknown;
    default:
      return AccessState::kUnknown;
  }
}

AccountKind eventKitAccountKind(long sourceType) {
  switch (sourceType) {
    case 0:
      return AccountKind::kLocal;
    case 1:
      return AccountKind::kExchange;
    case 2:
      return AccountKind::kCalDav;
    case 3:  // EKSourceTypeMobileMe: iCloud
      return AccountKind::kICloud;
    case 4:
      return AccountKind::kSubscribed;
    case 5:
      return AccountKind::kBirthdays;
    default:
      return AccountKind::kOther;
  }
}

}  // namespace velkor
