// The desktop store of the Linux build, loaded at run time from a module beside the executable or
// in the install's library folder. A module that is missing, does not load (its libraries absent),
// lacks the entry point or carries another version is left out without a word: the file store
// answers alone. Paths are fixed; no search path comes from the environment.
#include <dlfcn.h>

#include <filesystem>

#include "platform/module_loader.h"
#include "store/desktop_module.h"

#ifndef VELKOR_DESKTOP_MODULE_DIR
#error "VELKOR_DESKTOP_MODULE_DIR comes from the build"
#endif

namespace velkor {
namespace {

struct ModuleCloser {
  void operator()(void* handle) const { dlclose(handle); }
};
using ModuleHandle = std::unique_ptr<void, ModuleCloser>;

// The module's store, with the handle that keeps its code loaded for as long as the store lives.
class ModuleStore final : public Store {
 public:
  ModuleStore(ModuleHandle handle, std::unique_ptr<Store> store)
      : handle_(std::move(handle)), store_(std::move(store)) {}

  void requestFullAccessToEvents(AccessCompletion completion) override {
    store_->requestFullAccessToEvents(std::move(completion));
  }
  void requestAccessToEvents(AccessCompletion completion) override {
    store_->requestAccessToEvents(std::move(completion));
  }
  std::vector<Calendar> calendars() override { return store_->calendars(); }
  void refreshSourcesIfNecessary() override { store_->refreshSourcesIfNecessary(); }
  EventList events(Instant start, Instant end, const std::vector<Calendar>& calendars) override {
    return store_->events(start, end, calendars);
  }

 private:
  ModuleHandle handle_;  // declared first, so released after the store
  std::unique_ptr<Store> store_;
};

// The module at `file` when it loads and has this program's version; null otherwise, the loader's
// message taken and dropped.
const VelkorDesktopModule* loadedModule(const std::filesystem::path& file, ModuleHandle& handle) {
  // RTLD_NOW: a missing symbol refuses the module here rather than failing a call later.
  // RTLD_NODELETE: GLib keeps threads and handlers that must outlive a close.
  handle.reset(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
  if (!handle) {
    dlerror();
    return nullptr;
  }
  using Entry = const VelkorDesktopModule* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(handle.get(), kDesktopModuleSymbol));
  const VelkorDesktopModule* module = entry != nullptr ? entry() : nullptr;
  if (module == nullptr || module->version != kDesktopModuleVersion || module->open == nullptr) {
    dlerror();
    handle.reset();
    return nullptr;
  }
  return module;
}

std::vector<std::filesystem::path> moduleCandidates() {
  std::vector<std::filesystem::path> out;
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && self.has_parent_path()) out.push_back(self.parent_path() / kDesktopModuleFile);
  out.push_back(std::filesystem::path(VELKOR_DESKTOP_MODULE_DIR) / kDesktopModuleFile);
  return out;
}

}  // namespace

std::unique_ptr<Store> openDesktopStore() {
  for (const std::filesystem::path& file : moduleCandidates()) {
    ModuleHandle handle;
    const VelkorDesktopModule* module = loadedModule(file, handle);
    if (module == nullptr) continue;
    std::unique_ptr<Store> store(module->open());
    if (!store) return nullptr;  // the module loaded and found no desktop store: that is the answer
    return std::make_unique<ModuleStore>(std::move(handle), std::move(store));
  }
  return nullptr;
}

}  // namespace velkor
