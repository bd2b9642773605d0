// The platform table of the Linux build: one store answering from the file store, GNOME's calendar
// store when its registry answers, and Thunderbird's calendars when the user has a profile.
#include <algorithm>
#include <thread>
#include <unordered_map>

#include "filestore/file_store.h"
#include "filestore/filestore.h"
#include "platform/module_loader.h"
#include "thunderbird/thunderbird_store.h"

namespace velkor {
namespace {

class LinuxStore final : public Store {
 public:
  explicit LinuxStore(std::unique_ptr<Store> files) { stores_.push_back(std::move(files)); }

  // Access is the file store's: the desktop store has no permission of its own.
  void requestFullAccessToEvents(AccessCompletion completion) override {
    stores_.front()->requestFullAccessToEvents(std::move(completion));
  }
  void requestAccessToEvents(AccessCompletion completion) override {
    stores_.front()->requestAccessToEvents(std::move(completion));
  }

  // The file store's calendars, then the desktop store's, then Thunderbird's. The others are
  // looked for on the first listing only: `status` and `request` never contact them.
  std::vector<Calendar> calendars() override {
    if (!desktopTried_) {
      desktopTried_ = true;
      if (std::unique_ptr<Store> desktop = openDesktopStore())
        stores_.push_back(std::move(desktop));
      if (std::unique_ptr<Store> thunderbird = openThunderbirdStore())
        stores_.push_back(std::move(thunderbird));
    }
    std::vector<Calendar> out;
    owner_.clear();
    for (std::size_t s = 0; s < stores_.size(); ++s) {
      for (Calendar& c : stores_[s]->calendars()) {
        owner_.emplace(c.id, s);
        out.push_back(std::move(c));
      }
    }
    return out;
  }

  void refreshSourcesIfNecessary() override {
    for (const std::unique_ptr<Store>& s : stores_) s->refreshSourcesIfNecessary();
  }

  // Each calendar asks its own store; the answers follow in store order, the joined list keeping
  // to the answer cap as it grows.
  EventList events(Instant start, Instant end, const std::vector<Calendar>& calendars) override {
    std::vector<std::vector<Calendar>> bystore(stores_.size());
    std::vector<std::vector<std::uint32_t>> asked(stores_.size());  // indices in `calendars`
    for (std::uint32_t i = 0; i < calendars.size(); ++i) {
      if (auto it = owner_.find(calendars[i].id); it != owner_.end()) {
        bystore[it->second].push_back(calendars[i]);
        asked[it->second].push_back(i);
      }
    }
    EventList out;
    for (std::size_t s = 0; s < stores_.size(); ++s) {
      if (bystore[s].empty()) continue;
      EventList found = stores_[s]->events(start, end, bystore[s]);
      found.renumberCalendars(asked[s]);
      out.append(std::move(found));
    }
    return out;
  }

 private:
  std::vector<std::unique_ptr<Store>> stores_;  // the file store first
  std::unordered_map<std::string, std::size_t> owner_;
  bool desktopTried_ = false;
};

}  // namespace

Platform systemPlatform() {
  Platform p;
  p.authorizationStatus = [] { return fileStoreAuthorization(fileStoreRoot()); };
  p.isMacOS14OrLater = [] { return false; };
  p.openStore = []() -> std::unique_ptr<Store> {
    return std::make_unique<LinuxStore>(openFileStore(fileStoreRoot()));
  };
  p.sleep = [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); };
  // Every Linux store lists its calendars completely when asked: an empty list is final.
  p.storeMayStillLoad = false;
  return p;
}

}  // namespace velkor
