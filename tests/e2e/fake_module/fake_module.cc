// Stand-ins for the desktop-store module, for the loader's tests. FAKE_MODULE_KIND 0: this
// program's version, listing one calendar "/fake/one"; 1: another version; 2: no entry point.
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

velkor::Store* openFake() noexcept { return new (std::nothrow) FakeStore; }

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
