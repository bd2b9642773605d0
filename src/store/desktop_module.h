// The C entry point of a desktop-store module: a shared object, built from the same sources as the
// program, that the Linux program loads at run time so that the program itself links no desktop
// library (GLib, libecal). Only the Linux store and the modules include this.
#pragma once

#include <cstdint>

#include "store/store.h"

// Computed at configure time from the headers whose types cross the seam (store.h,
// event_list.h, instant.h, this file): a module built against other declarations carries
// another number and is left out.
#ifndef VELKOR_DESKTOP_MODULE_VERSION
#error "VELKOR_DESKTOP_MODULE_VERSION comes from the build"
#endif

extern "C" {

struct VelkorDesktopModule {
  std::uint32_t version;  // read before anything else in the table
  // A store owned by the caller (deleted through Store's virtual destructor) when the desktop's
  // store answers, else null. Never throws; writes nothing to standard error.
  velkor::Store* (*open)();
};

// The one symbol a module exports.
const VelkorDesktopModule* velkor_desktop_module();
}

namespace velkor {

inline constexpr std::uint32_t kDesktopModuleVersion = VELKOR_DESKTOP_MODULE_VERSION;
inline constexpr char kDesktopModuleSymbol[] = "velkor_desktop_module";
// The file name, beside the executable or in the install's library folder.
inline constexpr char kDesktopModuleFile[] = "velkor-calendar-eds.so";

}  // namespace velkor
