// RAII holders for libical's objects, and the unit of time the file store computes in.
#pragma once

#include <libical/ical.h>

#include <cstdint>
#include <memory>

#include "base/civil_dates.h"

namespace velkor {

using Seconds = std::int64_t;
constexpr Seconds kDay = 86400;

// The day number of a libical time's date.
inline std::int64_t dayNumber(const icaltimetype& t) {
  return daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day));
}

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;
struct ZoneFree {
  void operator()(icaltimezone* z) const { icaltimezone_free(z, 1); }
};
using ZonePtr = std::unique_ptr<icaltimezone, ZoneFree>;
struct IteratorFree {
  void operator()(icalrecur_iterator* i) const { icalrecur_iterator_free(i); }
};
using IteratorPtr = std::unique_ptr<icalrecur_iterator, IteratorFree>;
struct BufferFree {
  void operator()(char* p) const { icalmemory_free_buffer(p); }
};
using BufferPtr = std::unique_ptr<char, BufferFree>;

}  // namespace velkor
