// GNOME's calendar store (Evolution Data Server) behind the store interface. Access is the file
// store's business; this store only lists and searches.

#include "base/descriptors.h"
#include "eds/eds_calendars.h"
#include "store/desktop_module.h"
#include "store/selection.h"

namespace velkor {
namespace {

// The registry may have to be started on the bus, and each calendar's backend in its factory;
// neither is waited for longer.
constexpr auto kRegistryWait = std::chrono::seconds(4);
constexpr auto kCalendarsWait = std::chrono::seconds(4);

class EdsStore final : public Store {
 public:
  explicit EdsStore(std::unique_ptr<EdsSession> session) : session_(std::move(session)) {}

  void requestFullAccessToEvents(AccessCompletion completion) override {
    completion(true, std::nullopt);
  }
  void requestAccessToEvents(AccessCompletion completion) override {
    completion(true, std::nullopt);
  }

  std::vector<Calendar> calendars() override {
    const QuietStandardError quiet;
    listed_ = listEdsCalendars(session_->registry());
    return calendarsOf(listed_);
  }

  void refreshSourcesIfNecessary() override {}

  EventList events(Instant start, Instant end, const std::vector<Calendar>& calendars) override {
    const auto selection = selectListed(listed_, calendars);
    const QuietStandardError quiet;
    EventList found = searchEdsCalendars(*session_, selection.records, start, end,
                                         std::chrono::steady_clock::now() + kCalendarsWait);
    found.renumberCalendars(selection.asked);
    return found;
  }

 private:
  std::unique_ptr<EdsSession> session_;
  std::vector<EdsCalendar> listed_;
};

// The module's entry: the store when the registry answers, else null. Nothing escapes into the
// program that loaded it.
Store* openEdsStore() noexcept {
  try {
    const QuietStandardError quiet;
    std::unique_ptr<EdsSession> session =
        EdsSession::open(std::chrono::steady_clock::now() + kRegistryWait);
    if (!session) return nullptr;
    return std::make_unique<EdsStore>(std::move(session)).release();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace
}  // namespace velkor

extern "C" const VelkorDesktopModule* velkor_desktop_module() {
  static constexpr VelkorDesktopModule kModule{velkor::kDesktopModuleVersion, velkor::openEdsStore};
  return &kModule;
}
