#include "store/access.h"

namespace velkor {

std::string accessName(AccessState state) {
  switch (state) {
    case AccessState::kNotDetermined:
      return "notDetermined";
    case AccessState::kRestricted:
      return "restricted";
    case AccessState::kDenied:
      return "denied";
    case AccessState::kFullAccess:
      return "fullAccess";
    case AccessState::kWriteOnly:
      return "writeOnly";
    case AccessState::kUnknown:
      break;
  }
  return "unknown";
}

std::string accessName(const Platform& platform) {
  return accessName(platform.authorizationStatus());
}

std::unique_ptr<Store> openStore(const Platform& platform) { return platform.openStore(); }

}  // namespace velkor
