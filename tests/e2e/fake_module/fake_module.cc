// Stand-ins for the desktop-store module, for the loader's tests. FAKE_MODULE_KIND 0: this
// program's version, listing one calendar "/fake/one"; 1: another version; 2: no entry point;
// 3: this program's version, linking a library that is not to be found.
#include "store/desktop_module.h"

namespace {

class FakeStore final : public velkor::Store {
 public:
  void requestFullAccessToEvents(velkor::AccessCompletion done) override { done(true, {}); }
  void requestAccessToEvents(velkor::AccessCompletion done) override { done(true, {}); }
  std::vector<velkor::Calendar> calendars() override {
    velkor::Calendar one;
    one.id = "/fake/one";
    one.title = "Fake";
    return {one};
  }
  void refreshSourcesIfNecessary() override {}
  velkor::EventList events(velkor::Instant, velkor::Instant,
                           const std::vector<velkor::Calendar>&) override {
    return {};
  }
};

#if FAKE_MODULE_KIND == 3
extern "C" int velkor_fake_dependency();
velkor::Store* openFake() noexcept {
  return velkor_fake_dependency() == 1 ? new (std::nothrow) FakeStore : nullptr;
}
#else
velkor::Store* openFake() noexcept { return new (std::nothrow) FakeStore; }
#endif

}  // namespace

#if FAKE_MODULE_KIND == 2
extern "C" velkor::Store* velkor_other_entry() { return openFake(); }
#else
extern "C" const VelkorDesktopModule* velkor_desktop_module() {
  static constexpr VelkorDesktopModule kModule{
      velkor::kDesktopModuleVersion + (FAKE_MODULE_KIND == 1 ? 1u : 0u), openFake};
  return &kModule;
}
#endif
