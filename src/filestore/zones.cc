#include "filestore/zones.h"

#include <libical/icaltz-util.h>
#include <sys/stat.h>

namespace velkor {
namespace {

// A libical zone made from a VTIMEZONE component, which it then owns; none when it is unusable.
ZonePtr zoneFrom(icalcomponent* vtimezone) {
  if (vtimezone == nullptr) return nullptr;
  ZonePtr zone(icaltimezone_new());
  if (!zone || !icaltimezone_set_component(zone.get(), vtimezone)) {
    icalcomponent_free(vtimezone);
    return nullptr;
  }
  return zone;
}

// Zone names as the zone database spells them; anything else (a path, "..") is never looked up.
bool plausibleZoneName(std::string_view name) {
  if (name.empty() || name.size() > 200 || name.front() == '/') return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '+' || c == '/';
    if (!ok) return false;
  }
  return name.find("..") == std::string_view::npos;
}

}  // namespace

const ZoneCache::Impl::Defined& ZoneCache::Impl::fromBlock(std::string_view block) {
  auto [it, added] = blocks.try_emplace(std::string(block));
  if (added) {
    ComponentPtr c(icalparser_parse_string(it->first.c_str()));
    icalproperty* p = c && icalcomponent_isa(c.get()) == ICAL_VTIMEZONE_COMPONENT
                          ? icalcomponent_get_first_property(c.get(), ICAL_TZID_PROPERTY)
                          : nullptr;
    const char* tzid = p != nullptr ? icalproperty_get_tzid(p) : nullptr;
    if (tzid != nullptr && *tzid != '\0') {
      it->second.tzid = tzid;
      it->second.zone = zoneFrom(c.release());
    }
  }
  return it->second;
}

icaltimezone* ZoneCache::Impl::fromDefinition(icalcomponent* vtimezone) {
  const BufferPtr text(icalcomponent_as_ical_string_r(vtimezone));
  if (!text) return nullptr;
  auto [it, added] = defined.try_emplace(text.get());
  if (added) it->second = zoneFrom(icalcomponent_new_clone(vtimezone));
  return it->second.get();
}

icaltimezone* ZoneCache::Impl::fromSystem(const std::string& name) {
  auto [it, added] = system.try_emplace(name);
  if (added && plausibleZoneName(name)) {
    // Only a regular file is handed to libical: a FIFO under the zone directory must not block.
    const char* dir = icaltzutil_get_zone_directory();
    const std::string path = std::string(dir != nullptr ? dir : "") + "/" + name;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      it->second = zoneFrom(icaltzutil_fetch_timezone(name.c_str()));
    }
  }
  return it->second.get();
}

ZoneCache::ZoneCache() : impl_(std::make_unique<Impl>()) {}
ZoneCache::~ZoneCache() = default;

void quietLibical() {
  icalerror_set_errors_are_fatal(0);
  // First uses of these set up libical's shared tables; done here, before any reading thread.
  icaltimezone_get_utc_timezone();
  icaltzutil_get_zone_directory();
  static constexpr const char* kWarmZone =
      "BEGIN:VTIMEZONE\r\nTZID:warm\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
      "TZOFFSETFROM:+0100\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
  if (ZonePtr zone = zoneFrom(icalparser_parse_string(kWarmZone))) {
    icaltimetype t = icaltime_from_string("20260101T000000");
    icaltimezone_convert_time(&t, zone.get(), icaltimezone_get_utc_timezone());
  }
}

Frame FileZones::frameOf(icalproperty* prop, const icaltimetype& t) {
  if (icaltime_is_utc(t)) return Frame{nullptr, true};
  icalparameter* param = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
  const char* tzid = param != nullptr ? icalparameter_get_tzid(param) : nullptr;
  if (tzid == nullptr) return Frame{};
  for (const auto& [name, frame] : resolved) {
    if (name == tzid) return frame;
  }
  icaltimezone* zone = nullptr;
  for (const Definition& d : definitions) {
    if (d.tzid == tzid) {
      zone = d.component != nullptr ? cache.fromDefinition(d.component) : d.zone;
      break;
    }
  }
  // Without a usable definition in the file the name is looked up in the zone database; an
  // unknown name leaves the time floating.
  if (zone == nullptr) zone = cache.fromSystem(tzid);
  resolved.emplace_back(tzid, Frame{zone, false});
  return resolved.back().second;
}

}  // namespace velkor
