#include "calendars/kind.h"

namespace velkor {

std::string kindName(AccountKind kind) {
  switch (kind) {
    case AccountKind::kLocal:
      return "local";
    case AccountKind::kExchange:
      return "exchange";
    case AccountKind::kCalDav:
      return "caldav";
    case AccountKind::kICloud:
      return "icloud";
    case AccountKind::kSubscribed:
      return "subscribed";
    case AccountKind::kBirthdays:
      return "birthdays";
    case AccountKind::kOther:
      break;
  }
  return "other";
}

}  // namespace velkor
