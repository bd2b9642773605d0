// Thunderbird's calendars behind the store interface. Access is the file store's business; this
// store only lists and searches, from private copies of the profile's databases taken at the first
// listing and removed with the store.
#include <unordered_map>

#include "base/descriptors.h"
#include "base/files.h"
#include "store/color_text.h"
#include "store/identifier.h"
#include "store/selection.h"
#include "thunderbird/prefs.h"
#include "thunderbird/profile.h"
#include "thunderbird/rows.h"
#include "thunderbird/snapshot.h"
#include "thunderbird/thunderbird_store.h"

namespace velkor {
namespace {

constexpr std::size_t kPrefsLimit = std::size_t{64} << 20;

struct Listed {
  Calendar calendar;
  std::string uuid;
  sqlite3* db = nullptr;  // the snapshot holding its events
};

class ThunderbirdStore final : public Store {
 public:
  explicit ThunderbirdStore(std::filesystem::path profile) : profile_(std::move(profile)) {}

  void requestFullAccessToEvents(AccessCompletion completion) override {
    completion(true, std::nullopt);
  }
  void requestAccessToEvents(AccessCompletion completion) override {
    completion(true, std::nullopt);
  }

  // Read once: the copies taken here answer every search of the run.
  std::vector<Calendar> calendars() override {
    if (!read_) {
      read_ = true;
      list();
    }
    std::vector<Calendar> out;
    out.reserve(listed_.size());
    for (const Listed& c : listed_) out.push_back(c.calendar);
    return out;
  }

  void refreshSourcesIfNecessary() override {}

  EventList events(Instant start, Instant end, const std::vector<Calendar>& calendars) override {
    std::unordered_map<std::string, const Listed*> byId;
    for (const Listed& c : listed_) byId.emplace(c.calendar.id, &c);
    const auto selection = selectAsked(calendars, [&](const std::string& id) {
      const auto it = byId.find(id);
      return it == byId.end() ? nullptr : it->second;
    });
    quietLibical();
    const QuietStandardError quiet;
    ZoneCache zones;
    StoredClock clock;
    IcsQuery query;
    query.start = start;
    query.end = end;
    EventList out;
    for (std::uint32_t i = 0; i < selection.records.size(); ++i) {
      const Listed& c = *selection.records[i];
      // A calendar whose rows cannot all be read is left out rather than answered in part.
      EventList found;
      if (appendCalendarEvents(c.db, c.uuid, i, query, clock, zones, found)) {
        out.append(std::move(found));
      }
    }
    out.renumberCalendars(selection.asked);
    return out;
  }

 private:
  void list() {
    const std::optional<std::string> text = readSmallFile(profile_ / "prefs.js", kPrefsLimit);
    if (!text) return;
    for (RegisteredCalendar& r : registeredCalendars(parsePrefs(*text))) {
      if (r.disabled) continue;
      sqlite3* db = database(r.database());
      if (db == nullptr) continue;
      Listed c;
      c.calendar.id = "/thunderbird/" + identifierPart(r.uuid);
      c.calendar.title = r.name;
      c.calendar.source = Source{"Thunderbird", r.kind()};
      if (r.color) c.calendar.color = parseColor(*r.color);
      c.uuid = std::move(r.uuid);
      c.db = db;
      listed_.push_back(std::move(c));
    }
  }

  // The open copy of a database, taken on first use; null when it has none or it is unusable.
  sqlite3* database(Database which) {
    if (which == Database::kNone) return nullptr;
    const int slot = which == Database::kLocal ? 0 : 1;
    if (!tried_[slot]) {
      tried_[slot] = true;
      const QuietStandardError quiet;
      snapshots_[slot] = snapshotDatabase(profile_ / "calendar-data" /
                                          (slot == 0 ? "local.sqlite" : "cache.sqlite"));
    }
    return snapshots_[slot] ? snapshots_[slot]->db.get() : nullptr;
  }

  std::filesystem::path profile_;
  bool read_ = false;
  bool tried_[2] = {false, false};
  std::optional<Snapshot> snapshots_[2];
  std::vector<Listed> listed_;
};

}  // namespace

std::unique_ptr<Store> openThunderbirdStore() {
  const std::optional<std::filesystem::path> home = userHome();
  if (!home) return nullptr;
  std::optional<std::filesystem::path> profile = findProfile(*home);
  if (!profile) return nullptr;
  return std::make_unique<ThunderbirdStore>(std::move(*profile));
}

}  // namespace velkor
