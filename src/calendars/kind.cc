#include "calendars/kind.h"

namespace velkor {

std::string kindName(long sourceType) {
  switch (sourceType) {
    case 0:
      return "local";
    case 1:
      return "exchange";
    case 2:
      return "caldav";
    case 3:
      return "icloud";
    case 4:
      return "subscribed";
    case 5:
      return "birthdays";
    default:
      return "other";
  }
}

}  // namespace velkor
